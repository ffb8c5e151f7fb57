// Changing the slide screen's wallpaper every WallpaperChangeTime minutes (timer 1032).
#pragma once

#include "platform/win_types.h"

namespace lock {

// Sets timer 1032 when a change interval is configured.
void ArmWallpaperTimer(HWND hwnd);
// Timer 1032: asks the slide screen for the next wallpaper unless a call is ringing.
void ChangeWallpaper(HWND hwnd);
// After a wake-up: a change that fell due while the display was off follows in 2 s.
void WallpaperCatchUp();

}  // namespace lock
