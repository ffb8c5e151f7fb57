#include "state/subscriptions.h"

namespace state {

// State subscriptions are not built yet: nothing is watched.
void RegisterSnapi() {}
void UnregisterSnapi() {}
DWORD IsPhoneSkinEnabled() {
  return 0;
}

void ResubscribeSmsUnread() {}

}  // namespace state
