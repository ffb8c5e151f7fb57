#include "app/daemon_window.h"

#include <unordered_map>

#include "app/call_events.h"
#include "app/forward.h"
#include "app/handlers.h"
#include "app/lifecycle.h"
#include "app/timers.h"
#include "companions/music_panel.h"
#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "platform/user.h"
#include "settings/settings.h"
#include "state/counters.h"
#include "state/reminders.h"

namespace app {

using namespace core;

namespace {
using Handler = void (*)(HWND, UINT, WPARAM, LPARAM);

template <void (*F)(HWND, WPARAM, LPARAM)>
void Call(HWND h, UINT, WPARAM w, LPARAM l) {
  F(h, w, l);
}

void Forwarded(HWND h, UINT msg, WPARAM w, LPARAM) {
  OnForward(h, msg, w);
}
void ToSlide(HWND h, UINT msg, WPARAM w, LPARAM) {
  OnPostToSlide(h, msg, w);
}
void PoomItem(HWND h, UINT msg, WPARAM, LPARAM folder) {
  OnPoomItem(h, msg, folder);
}

void FindSlide(HWND, WPARAM, LPARAM) {
  lock::FindSlideScreen();
}
void Lock(HWND, WPARAM, LPARAM) {
  lock::Lock();
}
void Unlock(HWND, WPARAM, LPARAM) {
  lock::Unlock();
  lock::OfferCallAgainUnlocked();
}
void BroadcastBattery(HWND, WPARAM, LPARAM) {
  companions::BroadcastBattery();
}
void DolmBattery(HWND, WPARAM, LPARAM) {
  companions::NotifyDolmBattery();
}
void AllCounters(HWND, WPARAM, LPARAM) {
  state::SendAllCounters();
}
void AddListener(HWND, WPARAM w, LPARAM) {
  app::AddListener(w);
}
void RemoveListener(HWND, WPARAM w, LPARAM) {
  app::RemoveListener(w);
}
void Vibrate(HWND, WPARAM ms, LPARAM) {
  state::Vibrate(ms);
}
void UnhideTaskBar(HWND, WPARAM, LPARAM) {
  lock::UnHideTaskBar();
}
void KeyTone(HWND, WPARAM key, LPARAM) {
  input::PlayKeyTone(static_cast<WCHAR>(key));
}
void SuppressDial(HWND, WPARAM w, LPARAM) {
  G().DialSuppressed = w == 1;
}
void SetSdFlag(HWND, WPARAM w, LPARAM) {
  G().SdFlag = w == 0;
}

const std::unordered_map<UINT, Handler>& MessageTable() {
  static const std::unordered_map<UINT, Handler> table = {
      {WM_CREATE, &Call<OnCreate>},
      {WM_DESTROY, &Call<OnDestroy>},
      {WM_CLOSE, &Call<OnClose>},
      {WM_SETTINGCHANGE, &Call<OnSettingChange>},
      {WM_TIMER, &Call<OnTimer>},
      {kMsgFindSlide, &Call<FindSlide>},
      {kMsgOffDisplay, &Call<OnOffDisplay>},
      {kMsgBroadcastBattery, &Call<BroadcastBattery>},
      {kMsgPowerOff, &Call<OnPowerOff>},
      {kMsgPhoneKey, &Call<OnPhoneKey>},
      {kMsgPowerOffRequest, &Call<OnPowerOffRequest>},
      {kMsgSlideReady, &Call<OnSlideReady>},
      {kMsgSignal, &Forwarded},
      {kMsgMissedCalls, &Call<OnMissedCalls>},
      {kMsgUnreadSms, &Call<OnUnreadSms>},
      {kMsgUnreadMms, &Call<OnUnreadMms>},
      {kMsgVoiceMail, &Call<OnVoiceMail>},
      {kMsgUnreadEmail, &Call<OnUnreadEmail>},
      {kMsgAppointmentChanged, &Call<OnAppointmentChanged>},
      {kMsgTalking, &Call<OnTalking>},
      {kMsgIncoming, &Call<OnIncomingOrEnded>},
      {kMsgOperator, &Forwarded},
      {kMsgCloseAll, &Call<OnCloseAll>},
      {kMsgNextAlarm, &ToSlide},
      {kMsgUnlock, &Call<Unlock>},
      {kMsgLock, &Call<Lock>},
      {kMsgDialing, &Call<OnDialing>},
      {kMsgTaskCount, &Call<OnTaskCount>},
      {kMsgCallKey, &Call<OnCallKey>},
      {kMsgNotificationMode, &Forwarded},
      {kMsgBluetooth, &Call<OnBluetooth>},
      {kMsgWifi, &Forwarded},
      {kMsgAllCounters, &Call<AllCounters>},
      {kMsgBatteryTo, &Call<OnBatteryTo>},
      {kMsgBtHeadphone, &Call<OnBtHeadphone>},
      {kMsgDolmBattery, &Call<DolmBattery>},
      {kMsgStopWallpaper, &Call<OnStopWallpaper>},
      {kMsgWallpaperValues, &ToSlide},
      {kMsgRefreshSetting, &Call<OnRefreshSetting>},
      {kMsgConnectionCount, &Call<OnConnectionCount>},
      {kMsgMusicTitle, &ToSlide},
      {kMsgMusicAlbum, &ToSlide},
      {kMsgMusicStatus, &Call<OnMusicStatus>},
      {kMsgMusicVolume, &Call<OnMusicVolume>},
      {kMsgWeather, &ToSlide},
      {kMsgAddListener, &Call<AddListener>},
      {kMsgRemoveListener, &Call<RemoveListener>},
      {kMsgBtMsHeadphone, &Call<OnBtMsHeadphone>},
      {kMsgMailStorage, &Call<OnMailStorage>},
      {kMsgMessengerUnread, &Call<OnMessengerUnread>},
      {kMsgVolumePanel, &Call<OnVolumePanel>},
      {kMsgCallerNumber, &ToSlide},
      {kMsgCallerName, &ToSlide},
      {kMsgVibrate, &Call<Vibrate>},
      {kMsgCallForwarding, &ToSlide},
      {kMsgNetwork, &Call<OnNetwork>},
      {kMsgSyncing, &Call<OnSyncing>},
      {kMsgSystemLock, &Call<OnSystemLock>},
      {kMsgOwner, &ToSlide},
      {kMsgStylus, &Call<OnStylus>},
      {kMsgUnhideTaskBar, &Call<UnhideTaskBar>},
      {kMsgCallerProperty, &Call<OnCallerProperty>},
      {kMsgHeadphone, &Call<OnHeadphone>},
      {kMsgBtStereo, &Call<OnBtStereo>},
      {kMsgReminders, &Call<OnReminders>},
      {kMsgIncomingName, &Call<OnIncomingName>},
      {kMsgActiveReminders, &Call<OnActiveReminders>},
      {kMsgOpenPreview, &Call<OnOpenPreview>},
      {kMsgKeyTone, &Call<KeyTone>},
      {kMsgSuppressDial, &Call<SuppressDial>},
      {kMsgDial, &Call<OnDial>},
      {kMsgSdFlag, &Call<SetSdFlag>},
      {kMsgShutDown, &Call<OnShutDown>},
      {kMsgAddSleepTimer, &Call<OnAddSleepTimer>},
      {kMsgMarkPreviewRead, &Call<OnMarkPreviewRead>},
      {kMsgPoomCreated, &PoomItem},
      {kMsgPoomDeleted, &PoomItem},
      {kMsgPoomChanged, &PoomItem},
  };
  return table;
}
}  // namespace

LRESULT DaemonWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto& table = MessageTable();
  auto it = table.find(msg);
  if (it == table.end()) return DefWindowProcW(hwnd, msg, wParam, lParam);
  it->second(hwnd, msg, wParam, lParam);
  return 1;
}

}  // namespace app
