// Finding, starting, showing and talking to the slide screen program ("vurl.exe", window
// class and title "Vurl").
#pragma once

#include "platform/win_types.h"

namespace lock {

// The remembered slide screen window while it is still a window, else a fresh lookup.
HWND FindSlideScreen();
// Posts with lParam = DisplayOff; false when no slide screen runs.
bool PostToSlideScreen(UINT msg, WPARAM wParam);
void SendToSlideScreen(UINT msg, WPARAM wParam);
// Shows the slide screen or brings it forward, launching it when it does not run.
void AwakeSlideScreen(bool frontIfLocked, bool startHidden);
void SetSlideForeground();
void HideSlideScreen();

}  // namespace lock
