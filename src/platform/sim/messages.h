// Message retrieval shared by GetMessage, PeekMessage and the modal loop of message boxes.
#pragma once

#include "platform/sim/scheduler.h"
#include "platform/user.h"

namespace sim {

// Runs the messages other threads sent to this thread's windows.
void HandleIncomingSends(Thread* self);
// Takes the next message in Win32 order (posted, then WM_QUIT, then a due timer). `block`
// waits for one; without it, false when none is there. On a torn-down device a blocking
// retrieval reports WM_QUIT.
bool RetrieveMessage(Thread* self, MSG* msg, HWND filter, UINT min, UINT max, bool remove,
                     bool block);

}  // namespace sim
