// Putting the keyboard hook back a second after a call.
#pragma once

namespace input {

// Unless the hook stays during calls (InCallVolumeControl), arms timer 1038, which installs it.
void TurnOnHookLater();

}  // namespace input
