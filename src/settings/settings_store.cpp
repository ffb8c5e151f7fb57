#include "settings/settings_store.h"

#include <string>

#include "platform/registry.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/name_tests.h"
#include "settings/settings.h"
#include "settings/settings_table.h"
#include "settings/store_io.h"

namespace settings {

namespace {
constexpr WCHAR kProgramTitle[] = u"Dorvane2 v2.21";
constexpr WCHAR kLicence[] =
    u"Dorvane2 is free for personal use on your own phone. You may copy and share it "
    u"unchanged; it may not be sold.";
constexpr WCHAR kDisclaimerTitle[] = u"DISCLAIMER";
constexpr WCHAR kDisclaimer[] =
    u"Dorvane2 changes how your phone locks, answers calls and powers down. It comes without "
    u"any warranty: you use it at your own risk.";

constexpr WCHAR kPhoneNotifications[] = u"ControlPanel\\Notifications\\Phone";
constexpr WCHAR kIncomingTextFallback[] = u"Nothing";
constexpr uint32_t kMinUnknownCallerMS = 4000;
constexpr uint32_t kMinCallerIDKeyDelay = 70;
constexpr uint8_t kMaxShowAppointment = 6;
constexpr uint8_t kMaxAppointmentDays = 100;

struct ReadResult {
  bool incomingTextRead = false;
};

void ShowFirstRunNotices() {
  constexpr UINT kFlags = MB_OK | MB_SETFOREGROUND | MB_TOPMOST;
  MessageBoxW(0, kLicence, kProgramTitle, kFlags);
  MessageBoxW(0, kDisclaimer, kDisclaimerTitle, kFlags);
}

std::u16string_view TextOf(const Text& text) {
  return platform::WView(text.data());
}

void WriteDaemonValue(HKEY key, const DaemonValue& v) {
  const Settings& s = S();
  switch (v.kind) {
    case Kind::Byte:
      return store::WriteByte(key, v.name, s.*v.byte);
    case Kind::Dword:
      return store::WriteDword(key, v.name, s.*v.word);
    case Kind::Text:
      return store::WriteText(key, v.name, TextOf(s.*v.text));
  }
}

void WriteSlideValue(HKEY key, const SlideValue& v, uint32_t number) {
  switch (v.kind) {
    case Kind::Byte:
      return store::WriteByte(key, v.name, static_cast<uint8_t>(number));
    case Kind::Dword:
      return store::WriteDword(key, v.name, number);
    case Kind::Text:
      return store::WriteText(key, v.name, v.text);
  }
}

// Reads one option into its member; a failed read leaves the member as it is, except that a
// text that cannot be read counts as empty.
bool ReadDaemonValue(HKEY key, const DaemonValue& v) {
  Settings& s = S();
  switch (v.kind) {
    case Kind::Byte: {
      uint8_t x = 0;
      if (!store::ReadByte(key, v.name, &x)) return false;
      s.*v.byte = x;
      return true;
    }
    case Kind::Dword: {
      uint32_t x = 0;
      if (!store::ReadDword(key, v.name, &x)) return false;
      s.*v.word = x;
      return true;
    }
    case Kind::Text: {
      std::u16string text;
      bool read = store::ReadText(key, v.name, kTextChars, &text);
      if (read || v.created) platform::WCopy((s.*v.text).data(), (s.*v.text).size(), text);
      return read;
    }
  }
  return false;
}

// What cannot be read is written back from memory, so a value deleted while the daemon runs
// returns with the value in use, not the built-in default.
bool LoadDaemonValue(HKEY key, const DaemonValue& v) {
  bool read = ReadDaemonValue(key, v);
  if (!read && v.created) WriteDaemonValue(key, v);
  return read;
}

DWORD ReadSize(const SlideValue& v) {
  switch (v.kind) {
    case Kind::Byte:
      return 1;
    case Kind::Dword:
      return sizeof(DWORD);
    case Kind::Text:
      return static_cast<DWORD>(v.chars * sizeof(WCHAR));
  }
  return 0;
}

ReadResult ReadStore(HKEY key) {
  ReadResult result;
  for (const DaemonValue& v : DaemonValues()) {
    bool read = LoadDaemonValue(key, v);
    if (v.text == &Settings::IncomingText) result.incomingTextRead = read;
  }
  for (const SlideValue& v : SlideValues())
    if (!v.firstOnly && !store::Fits(key, v.name, ReadSize(v)))
      WriteSlideValue(key, v, v.laterNumber);
  return result;
}

void FillIncomingText() {
  Settings& s = S();
  WCHAR title[kTextChars] = {};
  if (FAILED(
          RegistryGetString(HKEY_CURRENT_USER, kPhoneNotifications, u"Default", title, kTextChars)))
    title[0] = 0;
  platform::WCopy(s.IncomingText.data(), s.IncomingText.size(),
                  title[0] ? std::u16string_view(title) : kIncomingTextFallback);
}

// The rules change only the in-memory copy; the store keeps what the user set.
void ApplyRules(const ReadResult& read) {
  Settings& s = S();
  if (s.HPstartFenk == 0) s.HPcloseFenk = 0;
  if (s.DelayUnknownCallerMS < kMinUnknownCallerMS) s.DelayUnknownCallerMS = kMinUnknownCallerMS;
  if (s.LockNotification == 0) {
    s.ShowMMSPreview = 0;
    s.ShowEmailPreview = 0;
    s.ShowSMSPreview = 0;
  }
  if (s.VolumeControl == 0) s.NoKeyBoardHook = 1;
  if (s.CallerID == 0) s.DialedID = 0;
  if (s.CallerIDKeyDelay < kMinCallerIDKeyDelay) s.CallerIDKeyDelay = kMinCallerIDKeyDelay;
  if (s.ShowAppointment > kMaxShowAppointment) s.ShowAppointment = kMaxShowAppointment;
  if (s.AppointmentDays > kMaxAppointmentDays) s.AppointmentDays = kMaxAppointmentDays;
  // Two single pictures leave nothing to change between.
  if (s.WallpaperChangeTime != 0 && IsImageFile(TextOf(s.Wallpaper)) &&
      IsImageFile(TextOf(s.WallpaperL)))
    s.WallpaperChangeTime = 0;
  if (!read.incomingTextRead || s.IncomingText[0] == 0) FillIncomingText();
}
}  // namespace

void WriteDefaultSettings(HKEY key) {
  for (const DaemonValue& v : DaemonValues())
    if (v.created) WriteDaemonValue(key, v);
  for (const SlideValue& v : SlideValues()) WriteSlideValue(key, v, v.firstNumber);
  RegFlushKey(key);
}

void LoadStore() {
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kStoreKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return;
  if (disposition == REG_CREATED_NEW_KEY) {
    // A new store is filled from the built-in defaults; nothing is read back until next load.
    ShowFirstRunNotices();
    WriteDefaultSettings(key);
  } else {
    ApplyRules(ReadStore(key));
    RegFlushKey(key);
  }
  RegCloseKey(key);
}

}  // namespace settings
