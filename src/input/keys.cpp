#include "input/keys.h"

namespace input {

// Hardware keys and the system lock state are not built yet.
void SetSystemLockState() {}
void ClearSystemLockState() {}
void SetPointerActionOverride() {}
void ClearPointerActionOverride() {}
void InstallKeyboardHook() {}
void RemoveKeyboardHook() {}
void RestoreLongPressEndKey() {}
void PlayKeyTone(WCHAR) {}
void SwitchDeviceOff() {}

}  // namespace input
