#include "state/reminders.h"

#include <array>
#include <string>

#include "log/debug_log.h"
#include "platform/process_local.h"
#include "platform/registry.h"
#include "settings/settings.h"

namespace state {

using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {

constexpr WCHAR kBackupKey[] = u"Software\\Zeq\\Vurl\\Backup";
constexpr WCHAR kOptions[] = u"Options";
// With this bit the shell shows its own on-screen message for the class.
constexpr DWORD kOnScreenBit = 0x8;

struct NotificationClass {
  const WCHAR* key;
  const WCHAR* backup;
};

enum { kR, kS, kM, kE, kC, kClassCount };

// In the order every pass runs: reminders, text, multimedia, e-mail, missed calls.
constexpr NotificationClass kClasses[kClassCount] = {
    {u"ControlPanel\\Notifications\\{15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD}", u"LastReminderOption"},
    {u"ControlPanel\\Notifications\\{A877D65B-239C-47a7-9304-0D347F580408}",
     u"LastSMSReminderOption"},
    {u"ControlPanel\\Notifications\\{C3465585-39EF-4c9b-B2A3-5558BF27BFB0}",
     u"LastMMSReminderOption"},
    {u"ControlPanel\\Notifications\\{A877D65A-239C-47a7-9304-0D347F580408}",
     u"LastEmailReminderOption"},
    {u"ControlPanel\\Notifications\\{A877D660-239C-47a7-9304-0D347F580408}",
     u"LastMissedCallOption"},
};

struct Reminders {
  std::array<DWORD, kClassCount> saved{};
  // Classes whose "Options" could be read: only those are ever written, so a class the user
  // never configured does not gain a value of 0 (no notification at all).
  std::array<bool, kClassCount> present{};
  bool savedFlag = false;
  bool disabled = false;
};

Reminders& R() {
  return platform::ProcessGlobal<Reminders>();
}

// The shell's helpers write only into a key that exists; without the key the backup, the
// guard against a crash while locked, would be lost silently.
void EnsureBackupKey() {
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kBackupKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) == ERROR_SUCCESS)
    RegCloseKey(key);
}

void DeleteBackup(const WCHAR* name) {
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kBackupKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

}  // namespace

void SaveReminderOptions() {
  Reminders& r = R();
  if (!S().LockNotification || r.savedFlag) return;
  for (int i = 0; i < kClassCount; ++i) {
    DWORD value = 0;
    if (SUCCEEDED(RegistryGetDWORD(HKEY_CURRENT_USER, kClasses[i].key, kOptions, &value))) {
      r.saved[i] = value;
      r.present[i] = true;
    }
  }
  r.saved[kR] |= kOnScreenBit;
  EnsureBackupKey();
  for (int i = 0; i < kClassCount; ++i)
    if (r.present[i])
      RegistrySetDWORD(HKEY_CURRENT_USER, kBackupKey, kClasses[i].backup, r.saved[i]);
  r.savedFlag = true;
  if (Detailed())
    DebugLog(u"SaveReminderOption R=%0X S=%0X C=%0X M=%0X E=%0X", r.saved[kR], r.saved[kS],
             r.saved[kC], r.saved[kM], r.saved[kE]);
}

void DisableReminderOptions() {
  Reminders& r = R();
  if (!S().LockNotification || !r.savedFlag || r.disabled) return;
  for (int i = 0; i < kClassCount; ++i)
    if (r.present[i])
      RegistrySetDWORD(HKEY_CURRENT_USER, kClasses[i].key, kOptions, r.saved[i] & ~kOnScreenBit);
  r.disabled = true;
  if (Detailed()) DebugLog(u"DisableReminderOption");
}

// Not gated on LockNotification: switching it off while locked must not leave the user's
// options changed until the next start.
void RestoreReminderOptions() {
  Reminders& r = R();
  if (!r.savedFlag) return;
  if (Detailed()) DebugLog(u"RestoreReminderOption");
  for (int i = 0; i < kClassCount; ++i)
    if (r.present[i]) RegistrySetDWORD(HKEY_CURRENT_USER, kClasses[i].key, kOptions, r.saved[i]);
  for (const auto& c : kClasses) DeleteBackup(c.backup);
  r = Reminders{};
}

void RecoverReminderOptions() {
  for (const auto& c : kClasses) {
    DWORD value = 0;
    if (FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, kBackupKey, c.backup, &value))) continue;
    // The backup is the only copy of the user's value: it goes only once it is back in place.
    if (SUCCEEDED(RegistrySetDWORD(HKEY_CURRENT_USER, c.key, kOptions, value)))
      DeleteBackup(c.backup);
  }
}

}  // namespace state
