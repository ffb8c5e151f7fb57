// The daemon window's timers, dispatched by id.
#pragma once

#include "platform/win_types.h"

namespace app {

// WM_TIMER: runs the handler of the timer id in wParam; unknown ids are ignored.
void OnTimer(HWND hwnd, WPARAM id, LPARAM);

}  // namespace app
