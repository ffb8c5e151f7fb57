// The power and display monitor thread and unattended mode.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

namespace power {

// The power thread's procedure; its argument is the stop event.
DWORD PowerThread(LPVOID stopEvent);
// Acts on one broadcast as read from the power manager's queue (`size` bytes, at most the
// queue's 44); a record too short for its header is ignored.
void HandleBroadcast(const uint8_t* record, size_t size);
bool StartUnattendedMode(bool force);
// Messages 32770 (display off only, o = 1) and 32773 (power off, o = 0).
void PoweringSuspend(bool displayOnly);
void SwitchDisplay(bool off);
void StopUnattendedMode();
// Gives back every unattended-mode request the daemon still holds; false when one was refused.
bool ReleaseUnattendedRequests();

}  // namespace power
