// The keyboard hook, the hardware key actions switched off while locked, the vendor's device-off
// call and the dial-pad tones.
#pragma once

#include "platform/win_types.h"

namespace input {

// Installs or removes the low-level keyboard hook (nothing at all with NoKeyBoardHook). A failed
// installation tells the user once and sets NoKeyBoardHook in memory.
void SetKeyHook(bool on);
inline void InstallKeyboardHook() {
  SetKeyHook(true);
}
inline void RemoveKeyboardHook() {
  SetKeyHook(false);
}
// After a call: puts the hook back 1000 ms later (timer 1038), unless InCallVolumeControl.
void TurnOnHookLater();

// At lock: the system lock flag, the long-press End key action and the mouse action method are
// switched off, keeping the old values; at unlock they come back.
void LockKeyActions();
void UnlockKeyActions();
// Writes back the long-press End key action that a run ending while locked left in the backup.
void RestoreLongPressEndKey();

// Switches the device off through the vendor's utility library.
void SwitchDeviceOff();

// The dial-pad tone of a key (a virtual-key code); waits until it has been played.
void PlayKeyTone(WCHAR key);
// The event the wave device's callback signals; lives as long as the daemon window.
void OpenToneEvent();
void CloseToneEvent();

}  // namespace input
