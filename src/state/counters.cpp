#include "state/counters.h"

#include <string>

#include "core/messages.h"
#include "core/state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "messaging/message_store.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "settings/settings.h"
#include "state/subscriptions.h"

namespace state {

namespace {

using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

constexpr WCHAR kStorages[] = u"Software\\WebIS\\Mail2\\Storages";
constexpr WCHAR kStorageValue[] = u"TotalUnreadMessages";
constexpr WCHAR kReminders[] = u"System\\State\\Shell\\Reminders";
constexpr int kMaxReminders = 100;
constexpr size_t kKeyNameChars = 256;

void ExportPreview(const WCHAR* store) {
  messaging::RunOnMessageStore(store, messaging::StoreAction::ExportPreview);
}

// A counter of the state store; 0 when it cannot be read.
int32_t ReadCount(HKEY root, const WCHAR* key, const WCHAR* value) {
  DWORD v = 0;
  if (FAILED(RegistryGetDWORD(root, key, value, &v))) return 0;
  return static_cast<int32_t>(v);
}

// Calls `each` with the key path of each mail storage, at most ten, until it returns false.
// Returns how many storages were gone through.
template <class F>
int ForEachMailStorage(F each) {
  HKEY storages = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kStorages, 0, KEY_ALL_ACCESS, &storages) != ERROR_SUCCESS)
    return 0;
  int index = 0;
  for (; index < state::kMaxMailStorages; ++index) {
    WCHAR name[kKeyNameChars];
    DWORD chars = kKeyNameChars;
    if (RegEnumKeyExW(storages, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (Detailed()) DebugLog(u"Found FM %d Path:%s", index, name);
    std::u16string path = std::u16string(kStorages) + u"\\" + name;
    // A path beyond the shell's MAX_PATH buffers would name another key once cut short.
    if (path.size() >= MAX_PATH) continue;
    if (!each(path.c_str())) {
      ++index;
      break;
    }
  }
  RegCloseKey(storages);
  return index;
}

}  // namespace

void ReadAllCounters() {
  core::State& g = core::G();
  bool previews = S().LockNotification;
  g.MissedCalls = ReadCount(HKEY_CURRENT_USER, u"System\\State\\Phone", u"Missed Call Count");
  g.VoiceMail =
      ReadCount(HKEY_CURRENT_USER, u"System\\State\\Messages\\VMail\\Total\\Unread", u"Count");
  g.UnreadSMS = ReadCount(S().KoreanSMSpatch ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                          u"System\\State\\Messages\\SMS\\Unread", u"Count");
  if (previews && g.UnreadSMS != 0) ExportPreview(u"SMS");
  g.UnreadMMS = ReadCount(HKEY_CURRENT_USER, u"System\\State\\Messages\\MMS\\Unread", u"Count");
  if (previews && g.UnreadMMS != 0) ExportPreview(u"MMS");
  g.UnreadEmail =
      ReadCount(HKEY_CURRENT_USER, u"System\\State\\Messages\\TotalEmail\\Unread", u"Count");
  if (previews && g.UnreadEmail != 0) PreviewLastEmailAccount();

  uint8_t showTask = S().ShowTask;
  g.TaskCount = 0;
  if (showTask == 1 || showTask == 2)
    g.TaskCount = ReadCount(HKEY_CURRENT_USER, u"System\\State\\Tasks",
                            showTask == 1 ? u"Active" : u"Due Today");
  // The tasks themselves are exported once the Outlook session is open (the deferred start).

  g.MusicStatus = ReadCount(HKEY_CURRENT_USER, u"Software\\Zeq\\Fenk", u"Status") & 0xFF;
  g.MusicVolume = ReadCount(HKEY_CURRENT_USER, u"Software\\Zeq\\Fenk", u"MusicVolume") & 0xFF;
  g.MailStorageUnread = SumMailStorageUnread();
  if (Detailed()) DebugLog(u"FM Unread:%d", g.MailStorageUnread.load());
  g.MessengerUnread = ReadCount(
      HKEY_LOCAL_MACHINE, u"Services\\Windows Live\\Plugins\\Messaging\\IMCall", u"UnreadCount");
  g.NetworkLevel = NetworkLevelFromFlags(static_cast<uint32_t>(
      ReadCount(HKEY_LOCAL_MACHINE, u"System\\State\\Phone", u"Cellular System Connected")));
  g.ReminderCount = CountReminders();
  g.ReminderCountSent = g.ReminderCount.load();
  g.Synchronizing =
      ReadCount(HKEY_LOCAL_MACHINE, u"System\\State\\ActiveSync", u"Synchronizing") & 0xFF;
}

int32_t SumMailStorageUnread() {
  int32_t sum = 0;
  ForEachMailStorage([&sum](const WCHAR* path) {
    DWORD unread = 0;
    // A storage whose count cannot be read adds nothing.
    if (SUCCEEDED(RegistryGetDWORD(HKEY_CURRENT_USER, path, kStorageValue, &unread)))
      sum += static_cast<int32_t>(unread);
    return true;
  });
  return sum;
}

int WatchMailStorages(int firstSlot) {
  auto& table = Subscriptions();
  int slot = firstSlot;
  return ForEachMailStorage([&](const WCHAR* path) {
    if (slot >= kSubscriptionSlots) return false;
    HREGNOTIFY& h = table[static_cast<size_t>(slot)];
    if (FAILED(RegistryNotifyWindow(HKEY_CURRENT_USER, path, kStorageValue, core::G().daemonWindow,
                                    core::kMsgMailStorage, 0, nullptr, &h))) {
      h = 0;
      return false;
    }
    ++slot;
    return true;
  });
}

int32_t CountReminders() {
  if (Detailed()) DebugLog(u"Get Reminder");
  int32_t count = 0;
  HKEY reminders = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kReminders, 0, KEY_ALL_ACCESS, &reminders) ==
      ERROR_SUCCESS) {
    for (; count < kMaxReminders; ++count) {
      WCHAR name[kKeyNameChars];
      DWORD chars = kKeyNameChars;
      if (RegEnumKeyExW(reminders, static_cast<DWORD>(count), name, &chars, nullptr, nullptr,
                        nullptr, nullptr) != ERROR_SUCCESS)
        break;
      if (Detailed()) DebugLog(u"Found Reminder %d Path:%s", count, name);
    }
    RegCloseKey(reminders);
  }
  if (Detailed()) DebugLog(u"Get Reminder %d", count);
  return count;
}

uint32_t NetworkLevelFromFlags(uint32_t flags) {
  // Bits 0..6 are, from the lowest: GPRS, 1xRTT, 1xEV-DO, EDGE, UMTS, EV-DV, HSDPA; the level is
  // the best of them counted from 1.
  for (uint32_t bit = 7; bit > 0; --bit)
    if (flags & (1u << (bit - 1))) return bit;
  return 0;
}

void PreviewLastEmailAccount() {
  WCHAR account[MAX_PATH + 1] = {};
  HRESULT hr = RegistryGetString(HKEY_CURRENT_USER, u"System\\State\\Messages",
                                 u"Last Received Account", account, MAX_PATH + 1);
  if (Detailed()) DebugLog(u"Last Email A/C:%s", account);
  // An account that cannot be read stays empty, and the empty name matches no store.
  if (FAILED(hr)) account[0] = 0;
  ExportPreview(account);
}

void ResetUnreadCounters() {
  struct Counter {
    HKEY root;
    const WCHAR* key;
  };
  static constexpr Counter kCounters[] = {
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\VMail\\Total\\Unread"},
      {HKEY_LOCAL_MACHINE, u"System\\State\\Messages\\SMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\SMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\MMS\\Unread"},
      {HKEY_CURRENT_USER, u"System\\State\\Messages\\TotalEmail\\Unread"},
  };
  for (const Counter& c : kCounters) RegistrySetDWORD(c.root, c.key, u"Count", 0);
}

}  // namespace state

namespace state {

void SendAllCounters() {
  using lock::PostToSlideScreen;
  core::State& g = core::G();
  auto post = [](UINT msg, int32_t value) { PostToSlideScreen(msg, static_cast<WPARAM>(value)); };
  post(core::kMsgTaskCount, g.TaskCount);
  post(core::kMsgMissedCalls, g.MissedCalls);
  post(core::kMsgUnreadSms, g.UnreadSMS);
  // A negative count means "not known" and is not passed on.
  if (g.UnreadMMS >= 0) post(core::kMsgUnreadMms, g.UnreadMMS);
  if (g.VoiceMail >= 0) post(core::kMsgVoiceMail, g.VoiceMail);
  if (g.UnreadEmail >= 0) post(core::kMsgUnreadEmail, g.UnreadEmail);
  post(core::kMsgMailStorage, g.MailStorageUnread);
  post(core::kMsgMessengerUnread, g.MessengerUnread);
  post(core::kMsgReminders, g.ReminderCount);
  post(core::kMsgSyncing, g.Synchronizing);
  if (FindWindowW(core::kMusicPanelClass, core::kMusicPanelClass)) {
    post(core::kMsgMusicTitle, 0);
    post(core::kMsgMusicAlbum, 0);
    post(core::kMsgMusicStatus, g.MusicStatus);
  }
  post(core::kMsgMusicVolume, g.MusicVolume);
}

}  // namespace state
