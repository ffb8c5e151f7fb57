#include "power/power_monitor.h"

#include "platform/kernel.h"

namespace power {

// The power monitor is not built yet: the thread only waits to be stopped, and unattended
// mode is never entered.
DWORD PowerThread(LPVOID stopEvent) {
  WaitForSingleObject(static_cast<HANDLE>(reinterpret_cast<uintptr_t>(stopEvent)), INFINITE);
  return 0;
}

bool StartUnattendedMode(bool) {
  return false;
}
void StopUnattendedMode() {}
void PoweringSuspend(bool) {}
void SwitchDisplay(bool) {}

}  // namespace power
