// How state messages travel on: to the slide screen and to the programs that registered as
// listeners.
#pragma once

#include "platform/win_types.h"

namespace app {

// Posts to the slide screen (lParam = DisplayOff) and, with lParam 0, to every listener.
void Forward(UINT msg, WPARAM wParam);
// Posts a counter to the slide screen and, on the lock screen, asks it to repeat the lock.
void CounterForward(UINT msg, int32_t value);
// While the display is off, keeps the device awake 6 s longer for the slide screen's update.
void UnattendedNudge();
// After a headset change: close or start the music panel as configured.
void HeadsetLogic(uint32_t value);

// The listener table: registration fills the first free slot, removal clears the first match.
void AddListener(HWND window);
void RemoveListener(HWND window);

}  // namespace app
