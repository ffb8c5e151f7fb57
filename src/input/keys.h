// The keyboard hook, the system lock state and the key overrides set while locked.
#pragma once

namespace input {

void SetSystemLockState();
void ClearSystemLockState();
void SetPointerActionOverride();
void ClearPointerActionOverride();
void InstallKeyboardHook();
void RemoveKeyboardHook();
// Writes back the long-press end-key value an earlier run saved.
void RestoreLongPressEndKey();

}  // namespace input
