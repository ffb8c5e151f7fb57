// The daemon window's creation, destruction and closing.
#pragma once

#include "platform/win_types.h"

namespace app {

void OnCreate(HWND hwnd, WPARAM, LPARAM);
void OnDestroy(HWND hwnd, WPARAM, LPARAM);
void OnClose(HWND hwnd, WPARAM wParam, LPARAM);

}  // namespace app
