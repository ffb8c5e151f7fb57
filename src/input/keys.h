// The keyboard hook, the system lock state and the key overrides set while locked.
#pragma once

#include "platform/win_types.h"

namespace input {

void SetSystemLockState();
void ClearSystemLockState();
void SetPointerActionOverride();
void ClearPointerActionOverride();
void InstallKeyboardHook();
void RemoveKeyboardHook();
// Writes back the long-press end-key value an earlier run saved.
void RestoreLongPressEndKey();
// The dial-pad tone of a key character.
void PlayKeyTone(WCHAR key);
// Switches the device off through the vendor's utility library.
void SwitchDeviceOff();

}  // namespace input
