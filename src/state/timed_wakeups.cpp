#include "state/timed_wakeups.h"

namespace state {

// Timed wake-ups are not built yet: no notification is set and no listener runs.
void ClearTimerNotifications(const WCHAR*, bool) {}
int StartTimerEventListener(HANDLE, HANDLE) {
  return 0;
}
bool StopTimerEventListener() {
  return true;
}
bool IsTimerListenerRunning() {
  return false;
}
void AddSleepTimer(const WCHAR*) {}

}  // namespace state
