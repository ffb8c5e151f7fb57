#include "messaging/dismissal.h"

namespace messaging {

// The shell-services library's list functions are not bound yet, so the list is never had.
int DismissShellEntries(DWORD, DWORD) {
  return -1;
}

}  // namespace messaging
