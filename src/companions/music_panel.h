// The music panel ("fenk.exe", window "Fenk") and the "Dolm" window.
#pragma once

namespace companions {

void AwakeMusicPanel();
void CloseMusicPanel();
void BroadcastBattery();
void NotifyDolmBattery();

}  // namespace companions
