// The daemon window's procedure: every event of the daemon ends here as a message or a timer.
#pragma once

#include "platform/win_types.h"

namespace app {

LRESULT DaemonWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace app
