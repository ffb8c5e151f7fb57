// The power and display monitor thread and unattended mode.
#pragma once

#include "platform/win_types.h"

namespace power {

// The power thread's procedure; its argument is the stop event.
DWORD PowerThread(LPVOID stopEvent);
bool StartUnattendedMode(bool force);
void StopUnattendedMode();

}  // namespace power
