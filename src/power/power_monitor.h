// The power and display monitor thread and unattended mode.
#pragma once

#include "platform/win_types.h"

namespace power {

// The power thread's procedure; its argument is the stop event.
DWORD PowerThread(LPVOID stopEvent);
bool StartUnattendedMode(bool force);
// Messages 32770 (display off only, o = 1) and 32773 (power off, o = 0).
void PoweringSuspend(bool displayOnly);
void SwitchDisplay(bool off);
void StopUnattendedMode();

}  // namespace power
