// The music panel ("fenk.exe", window "Fenk") and the "Dolm" window: found by class and title at
// every use, driven only by posted messages and program launches.
#pragma once

#include "platform/win_types.h"

namespace companions {

// Posts to the music panel's window when it has one; false when it has none.
bool PostToMusicPanel(UINT msg, WPARAM wParam, LPARAM lParam);
// Headset plugged in: the slide screen steps aside while locked and the music panel starts.
void AwakeMusicPanel();
// Headset removed: the music panel is asked to close.
void CloseMusicPanel();
// Sleep timer: pause what plays, then close the music panel.
void StopMusicPanel();
// The battery message to the slide screen (then its display state) and every listener.
void BroadcastBattery();
void NotifyDolmBattery();

}  // namespace companions
