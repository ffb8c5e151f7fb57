// The daemon window's creation, destruction and closing.
#pragma once

#include "platform/win_types.h"

namespace app {

void OnCreate(HWND hwnd, WPARAM, LPARAM);
void OnDestroy(HWND hwnd, WPARAM, LPARAM);
void OnClose(HWND hwnd, WPARAM wParam, LPARAM);
// Timer 1032 every WallpaperChangeTime minutes, when that is set.
void ArmWallpaperTimer(HWND hwnd);

}  // namespace app
