// Hardware key actions switched off while locked: the system lock flag, the vendor's long-press
// End key action (kept in a backup value that outlives a crash) and the mouse action method.
#include "core/state.h"
#include "input/keys.h"
#include "log/debug_log.h"
#include "platform/library.h"
#include "platform/process_local.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace input {

using settings::S;

namespace {

constexpr WCHAR kStateKey[] = u"System\\State";
constexpr WCHAR kLongPressKey[] = u"Software\\HTC\\LongPressEndKey";
constexpr WCHAR kLongPressValue[] = u"AutoExecute";
constexpr WCHAR kBackupKey[] = u"Software\\Zeq\\Vurl\\Backup";
constexpr WCHAR kBackupValue[] = u"LastHTCLongPressEnd";
constexpr WCHAR kMouseKey[] = u"System\\State\\Samsung\\Mouse";
constexpr WCHAR kMouseValue[] = u"ActionMethod";
constexpr DWORD kNothingSaved = 255;
constexpr DWORD kMouseUsual = 3001;
constexpr DWORD kMouseLocked = 4001;

struct Saved {
  DWORD longPressEnd = kNothingSaved;
  DWORD mouseMethod = 0;
};

Saved& Kept() {
  return platform::ProcessGlobal<Saved>();
}

void DeleteBackup() {
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kBackupKey, 0, 0, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, kBackupValue);
  RegCloseKey(key);
}

void SetLockFlag(bool locked) {
  if (S().NoSystemLock) return;
  DWORD flag = 0;
  if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kStateKey, u"Lock", &flag))) return;
  RegistrySetDWORD(HKEY_LOCAL_MACHINE, kStateKey, u"Lock", locked ? flag | 1 : 0);
}

void SaveLongPressEnd() {
  DWORD action = 0;
  if (Kept().longPressEnd != kNothingSaved ||
      FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, kLongPressKey, kLongPressValue, &action)))
    return;
  RegistrySetDWORD(HKEY_CURRENT_USER, kLongPressKey, kLongPressValue, kNothingSaved);
  // The backup lives in the settings store so that a crash while locked is undone at the next
  // start; its key may not exist yet.
  HKEY key = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBackupKey, 0, nullptr, 0, 0, nullptr, &key, nullptr) ==
      ERROR_SUCCESS)
    RegCloseKey(key);
  RegistrySetDWORD(HKEY_CURRENT_USER, kBackupKey, kBackupValue, action);
  Kept().longPressEnd = action;
}

void PutBackLongPressEnd() {
  if (Kept().longPressEnd == kNothingSaved) return;
  RegistrySetDWORD(HKEY_CURRENT_USER, kLongPressKey, kLongPressValue, Kept().longPressEnd);
  DeleteBackup();
  Kept().longPressEnd = kNothingSaved;
}

void SaveMouseMethod() {
  DWORD method = 0;
  if (Kept().mouseMethod != 0 ||
      FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kMouseKey, kMouseValue, &method)) ||
      method != kMouseUsual)
    return;
  RegistrySetDWORD(HKEY_LOCAL_MACHINE, kMouseKey, kMouseValue, kMouseLocked);
  Kept().mouseMethod = kMouseUsual;
}

void PutBackMouseMethod() {
  if (Kept().mouseMethod == 0) return;
  RegistrySetDWORD(HKEY_LOCAL_MACHINE, kMouseKey, kMouseValue, Kept().mouseMethod);
  Kept().mouseMethod = 0;
}

}  // namespace

void LockKeyActions() {
  SetLockFlag(true);
  SaveLongPressEnd();
  SaveMouseMethod();
}

void UnlockKeyActions() {
  SetLockFlag(false);
  PutBackLongPressEnd();
  PutBackMouseMethod();
}

void RestoreLongPressEndKey() {
  DWORD action = 0;
  if (FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, kBackupKey, kBackupValue, &action))) return;
  RegistrySetDWORD(HKEY_CURRENT_USER, kLongPressKey, kLongPressValue, action);
  DeleteBackup();
}

void SwitchDeviceOff() {
  HMODULE util = LoadLibraryW(u"HTCUtil.dll");
  if (!util) return;
  using DeviceOffFn = void (*)();
  auto off = reinterpret_cast<DeviceOffFn>(GetProcAddressW(util, u"HTCUtilDeviceOff"));
  if (dlog::Detailed()) dlog::DebugLog(u"HTCUtilDeviceOff");
  if (off) off();
  FreeLibrary(util);
}

}  // namespace input
