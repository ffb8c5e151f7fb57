#include "state/subscriptions.h"

#include <algorithm>
#include <iterator>

#include "core/messages.h"
#include "core/state.h"
#include "log/debug_log.h"
#include "platform/process_local.h"
#include "settings/settings.h"
#include "state/counters.h"

namespace state {

using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {

struct Subscription {
  int slot;
  HKEY root;
  const WCHAR* key;
  const WCHAR* value;
  DWORD mask;  // 0: any change of the value
  UINT msg;
};

constexpr WCHAR kPhone[] = u"System\\State\\Phone";
constexpr WCHAR kHardware[] = u"System\\State\\Hardware";
constexpr WCHAR kMusic[] = u"Software\\Zeq\\Fenk";
constexpr WCHAR kVurl[] = u"Software\\Zeq\\Vurl";
constexpr WCHAR kSmsUnread[] = u"System\\State\\Messages\\SMS\\Unread";
constexpr WCHAR kKeyboard[] = u"ControlPanel\\Keybd";
constexpr WCHAR kStylusValue[] = u"StylusOutStatus";
constexpr WCHAR kTasks[] = u"System\\State\\Tasks";
constexpr HKEY HKLM = HKEY_LOCAL_MACHINE;
constexpr HKEY HKCU = HKEY_CURRENT_USER;

constexpr int kSmsSlot = 2;
constexpr int kStylusSlot = 6;
constexpr int kTaskSlot = 13;
constexpr int kAlbumSlot = 21;
constexpr DWORD kAlbumBatchMs = 500;

using namespace core;

constexpr Subscription kCounters[] = {
    {0, HKLM, kPhone, u"Signal Strength Raw", 0, kMsgSignal},
    {1, HKCU, kPhone, u"Missed Call Count", 0, kMsgMissedCalls},
    // Slot 2, the SMS count, has its root chosen when it is registered.
    {3, HKCU, u"System\\State\\Messages\\MMS\\Unread", u"Count", 0, kMsgUnreadMms},
    {4, HKCU, u"System\\State\\Messages\\VMail\\Total\\Unread", u"Count", 0, kMsgVoiceMail},
    {5, HKCU, u"System\\State\\Messages\\TotalEmail\\Unread", u"Count", 0, kMsgUnreadEmail},
};

constexpr Subscription kStylus = {kStylusSlot, HKCU, kKeyboard, kStylusValue, 0, kMsgStylus};

constexpr Subscription kRadios[] = {
    {7, HKLM, u"Services\\Windows Live\\Plugins\\Messaging\\IMCall", u"UnreadCount", 0,
     kMsgMessengerUnread},
    {8, HKLM, kHardware, u"Bluetooth", 0x10, kMsgBtStereo},
    {9, HKLM, kPhone, u"Cellular System Connected", 0, kMsgNetwork},
    {10, HKLM, kPhone, u"Current Operator Name", 0, kMsgOperator},
    {11, HKCU, u"System\\State\\Shell\\Alarms", u"Next", 0, kMsgNextAlarm},
    {12, HKLM, kPhone, u"Status", 0x10, kMsgOperator},
};

constexpr Subscription kDevices[] = {
    {14, HKLM, kHardware, u"Headset", 0, kMsgHeadphone},
    {15, HKCU, u"ControlPanel\\Notifications\\ShellOverrides", u"Mode", 0, kMsgNotificationMode},
    {16, HKLM, kHardware, u"Bluetooth", 0x1, kMsgBluetooth},
    {17, HKLM, kHardware, u"Wifi", 0x2, kMsgWifi},
    {18, HKLM, u"SOFTWARE\\WIDCOMM\\BTConfig\\Platform\\PowerMode", u"ActiveProfileMask", 0x9,
     kMsgBtHeadphone},
    {19, HKLM, u"System\\State\\Connections", u"Count", 0, kMsgConnectionCount},
    {20, HKCU, kMusic, u"CurrentTitle", 0, kMsgMusicTitle},
    {kAlbumSlot, HKCU, kMusic, u"CurrentAlbum", 0, kMsgMusicAlbum},
    {22, HKCU, kMusic, u"Status", 0, kMsgMusicStatus},
    {23, HKCU, kMusic, u"MusicVolume", 0, kMsgMusicVolume},
    {24, HKCU, kVurl, u"UserWeather", 0, kMsgWeather},
    {25, HKLM, kHardware, u"Bluetooth", 0x4, kMsgBtMsHeadphone},
};

constexpr Subscription kShell[] = {
    {37, HKLM, u"System\\State", u"Lock", 0, kMsgSystemLock},
    {38, HKCU, kVurl, u"Wallpaper", 0, kMsgWallpaperValues},
    {39, HKCU, kVurl, u"WallpaperL", 0, kMsgWallpaperValues},
    {40, HKCU, u"System\\State\\Shell\\Reminders", u"Active", 0, kMsgActiveReminders},
};

constexpr Subscription kAppointments[] = {
    {41, HKCU, u"System\\State\\Appointments", u"Current", 0, kMsgAppointmentChanged},
    {42, HKCU, u"System\\State\\Appointments\\HomeScreen", u"Subject", 0, kMsgAppointmentChanged},
};

constexpr Subscription kOwner[] = {
    {43, HKCU, u"ControlPanel\\Owner", u"Name", 0, kMsgOwner},
    {44, HKCU, u"ControlPanel\\Owner", u"Telephone", 0, kMsgOwner},
    {45, HKLM, u"System\\State\\ActiveSync", u"Synchronizing", 0, kMsgSyncing},
};

constexpr Subscription kCaller[] = {
    {46, HKLM, kPhone, u"Incoming Caller Name", 0, kMsgIncomingName},
    {47, HKLM, kPhone, u"Incoming Caller PropName", 0, kMsgCallerProperty},
    {48, HKLM, kPhone, u"Caller Number", 0, kMsgCallerNumber},
    {49, HKLM, kPhone, u"Caller Name", 0, kMsgCallerName},
    {50, HKLM, u"Drivers\\BuiltIn\\RIL", u"CFU_State", 0, kMsgCallForwarding},
};

HKEY SmsRoot() {
  return S().KoreanSMSpatch ? HKLM : HKCU;
}

// Subscribes one value into its slot for the daemon window.
HRESULT Subscribe(const Subscription& s) {
  NOTIFICATIONCONDITION condition{REG_CT_ANYCHANGE, s.mask, {}};
  condition.TargetValue.dw = 0;
  HREGNOTIFY& slot = Subscriptions()[s.slot];
  return RegistryNotifyWindow(s.root, s.key, s.value, core::G().daemonWindow, s.msg, 0,
                              s.mask ? &condition : nullptr, &slot);
}

// Registers a run of the table in order; false (after the error line) at the first failure.
bool SubscribeAll(const Subscription* first, const Subscription* last, HRESULT& result) {
  for (const Subscription* s = first; s != last; ++s) {
    result = Subscribe(*s);
    if (FAILED(result)) {
      DebugLog(u"ERROR: can't register SNAPI %d", s->slot);
      return false;
    }
  }
  return true;
}

template <size_t N>
bool SubscribeAll(const Subscription (&table)[N], HRESULT& result) {
  return SubscribeAll(table, table + N, result);
}

bool SubscribeOne(const Subscription& s, HRESULT& result) {
  return SubscribeAll(&s, &s + 1, result);
}

Subscription SmsSubscription() {
  return {kSmsSlot, SmsRoot(), kSmsUnread, u"Count", 0, kMsgUnreadSms};
}

// The steps of registration up to the first failure; returns the last result.
HRESULT SubscribeInOrder() {
  HRESULT r = S_OK;
  if (!SubscribeAll(kCounters, kCounters + 2, r)) return r;
  if (!SubscribeOne(SmsSubscription(), r)) return r;
  if (!SubscribeAll(kCounters + 2, std::end(kCounters), r)) return r;

  // Devices without a stylus switch have no such value and get no subscription for it.
  DWORD stylus = 0;
  if (SUCCEEDED(RegistryGetDWORD(HKCU, kKeyboard, kStylusValue, &stylus)) &&
      !SubscribeOne(kStylus, r))
    return r;
  if (!SubscribeAll(kRadios, r)) return r;

  uint8_t showTask = S().ShowTask;
  if (showTask == 1 || showTask == 2) {
    Subscription tasks{kTaskSlot, HKCU,         kTasks, showTask == 1 ? u"Active" : u"Due Today",
                       0,         kMsgTaskCount};
    if (!SubscribeOne(tasks, r)) return r;
  }

  // The album comes in bursts while a track changes; only its settled value matters.
  const Subscription* album =
      std::find_if(std::begin(kDevices), std::end(kDevices),
                   [](const Subscription& s) { return s.slot == kAlbumSlot; });
  if (!SubscribeAll(std::begin(kDevices), album + 1, r)) return r;
  RegistryBatchNotification(Subscriptions()[kAlbumSlot], kAlbumBatchMs, kAlbumBatchMs);
  if (!SubscribeAll(album + 1, std::end(kDevices), r)) return r;

  WatchMailStorages(kFirstMailStorageSlot);

  if (!SubscribeAll(kShell, r)) return r;
  if (S().ShowAppointment && !SubscribeAll(kAppointments, r)) return r;
  if (!SubscribeAll(kOwner, r)) return r;
  if (S().CallerID && !SubscribeAll(kCaller, r)) return r;
  return r;
}

}  // namespace

std::array<HREGNOTIFY, kSubscriptionSlots>& Subscriptions() {
  return platform::ProcessGlobal<std::array<HREGNOTIFY, kSubscriptionSlots>>();
}

HRESULT RegisterSnapi() {
  if (Detailed()) DebugLog(u"Register SNAPI");
  UnregisterSnapi();
  HRESULT r = SubscribeInOrder();
  // A failure line is written whenever the log is open; the closing line is detailed only.
  if (Detailed()) DebugLog(u"Finsih Register SNAPI %d", r);
  return r;
}

void UnregisterSnapi() {
  for (HREGNOTIFY& slot : Subscriptions()) {
    if (slot) RegistryCloseNotification(slot);
    slot = 0;
  }
}

DWORD IsPhoneSkinEnabled() {
  DWORD enabled = 0;
  if (FAILED(RegistryGetDWORD(HKLM, u"Security\\Phone\\Skin", u"Enabled", &enabled))) return 0;
  return enabled;
}

void ResubscribeSmsUnread() {
  HREGNOTIFY& slot = Subscriptions()[kSmsSlot];
  if (slot) RegistryCloseNotification(slot);
  slot = 0;
  // A failed registration leaves the slot empty; the count is still taken.
  if (FAILED(Subscribe(SmsSubscription()))) slot = 0;
  DWORD count = 0;
  if (FAILED(RegistryGetDWORD(SmsRoot(), kSmsUnread, u"Count", &count))) count = 0;
  core::G().UnreadSMS = static_cast<int32_t>(count);
}

}  // namespace state
