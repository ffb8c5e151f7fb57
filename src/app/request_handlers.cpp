// The daemon window's handling of requests from the slide screen and other programs.
#include <string>

#include "app/forward.h"
#include "app/handlers.h"
#include "companions/music_panel.h"
#include "core/files.h"
#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "lock/wallpaper.h"
#include "log/debug_log.h"
#include "messaging/message_store.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/exceptions.h"
#include "settings/settings.h"
#include "shellwin/incoming.h"
#include "shellwin/intercept.h"
#include "state/reminders.h"
#include "state/subscriptions.h"
#include "state/timed_wakeups.h"
#include "telephony/line.h"

namespace app {

using namespace core;

using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {
constexpr WCHAR kNotifyEvent[] = u"Dorvane2Notify";
constexpr WPARAM kScreenOrientationChange = 0x3002;

// A text of the settings store (or one of its sub-keys), empty when missing or longer than
// `chars` - 1 characters.
std::u16string StoreText(const WCHAR* subKey, const WCHAR* name, size_t chars) {
  std::u16string key = settings::kStoreKey;
  if (subKey) key += std::u16string(u"\\") + subKey;
  std::u16string buf(chars, u'\0');
  if (FAILED(RegistryGetString(HKEY_CURRENT_USER, key.c_str(), name, buf.data(),
                               static_cast<UINT>(chars))))
    return {};
  buf.resize(std::char_traits<char16_t>::length(buf.c_str()));
  return buf;
}

std::u16string PreviewStore(WPARAM which) {
  switch (which) {
    case 2:
      return u"SMS";
    case 3:
      return u"MMS";
    case 4:
      return StoreText(u"Message", u"Account", MAX_PATH);
  }
  return {};
}
}  // namespace

void OnOffDisplay(HWND, WPARAM, LPARAM) {
  if (Detailed()) DebugLog(u"WM_OffDisplay");
  power::PoweringSuspend(true);
}

void OnPowerOff(HWND, WPARAM, LPARAM) {
  if (Detailed()) DebugLog(u"WM_PowerOff");
  power::PoweringSuspend(false);
}

void OnPhoneKey(HWND, WPARAM wParam, LPARAM) {
  if (!G().IncomingMenuWindow) G().IncomingMenuWindow = FindWindowW(u"menu_worker", nullptr);
  telephony::PhoneKeyAction(wParam);
}

void OnPowerOffRequest(HWND hwnd, WPARAM, LPARAM) {
  bool displayOnly = S().NoPowerSuspend || settings::IsMusicRunning() ||
                     (G().OnExternalPower && lock::IsSyncing());
  if (displayOnly)
    PostMessageW(hwnd, kMsgOffDisplay, 0, 0);
  else
    lock::PostToSlideScreen(kMsgPowerOff, 0);
}

void OnSlideReady(HWND, WPARAM, LPARAM) {
  HWND slide = lock::FindSlideScreen();
  // A hand-over for a call that has stopped ringing meanwhile (some ends, as with CallerID
  // switched off by a reload, leave the request standing) would show a call that is gone.
  if (G().RerunCaller && !G().Incoming) G().RerunCaller = 0;
  if (G().RerunCaller) return lock::RunCaller(true);
  // Started out of sight for a call that ended before it was ready: the end of the call had no
  // slide screen to bring back as the lock screen, so a locked phone gets it now.
  if (G().Locked && !G().Incoming && slide && !IsWindowVisible(slide))
    lock::AwakeSlideScreen(true, false);
}

// Closes the slide screen, then runs the destruction sequence without the closing notice.
void OnCloseAll(HWND hwnd, WPARAM, LPARAM) {
  PostMessageW(G().SlideWindow, WM_CLOSE, 0, 0);
  PostMessageW(hwnd, WM_DESTROY, 0, 0);
}

void OnCallKey(HWND, WPARAM wParam, LPARAM) {
  if (G().PhoneDialog) telephony::SendCallKey(wParam);
}

void OnBatteryTo(HWND, WPARAM wParam, LPARAM) {
  if (wParam) PostMessageW(wParam, kMsgBattery, G().BatteryPercent, G().OnExternalPower);
}

void OnStopWallpaper(HWND hwnd, WPARAM, LPARAM) {
  KillTimer(hwnd, kTimerWallpaper);
  S().WallpaperChangeTime = 0;
}

void OnRefreshSetting(HWND hwnd, WPARAM, LPARAM) {
  if (Detailed()) DebugLog(u"WM_RefreshSetting");
  settings::LoadSettings();
  lock::ArmWallpaperTimer(hwnd);
  if (HWND slide = lock::FindSlideScreen()) {
    SendMessageW(slide, WM_CLOSE, 0, 0);
    // A launch still counted as starting is over now: left standing, it would keep the
    // restart below (and every wake-up until it lapses) from launching the screen again.
    KillTimer(hwnd, kTimerSlideStarted);
    G().SlideStarting = 0;
  }
  lock::UnlockForReload();
  G().SlideWindow = 0;
  if (S().CallerID) {
    // The closed slide screen took the ringing call with it; the one started again gets it.
    lock::OfferCallAgainWhenReady();
  } else {
    // Caller handling switched off under a ringing call: the phone's own window takes it.
    G().RerunCaller = 0;
    shellwin::ShowIncomingAgain();
  }
  state::ResubscribeSmsUnread();
  SetTimer(hwnd, kTimerRestartSlide, 800, nullptr);
}

void OnVolumePanel(HWND, WPARAM wParam, LPARAM) {
  G().VolumePanelShown = wParam != 0;
}

void OnOpenPreview(HWND, WPARAM wParam, LPARAM) {
  messaging::RunOnMessageStore(PreviewStore(wParam).c_str(), messaging::StoreAction::OpenNewest);
}

void OnMarkPreviewRead(HWND, WPARAM wParam, LPARAM) {
  messaging::RunOnMessageStore(PreviewStore(wParam).c_str(), messaging::StoreAction::MarkRead);
}

void OnDial(HWND, WPARAM wParam, LPARAM) {
  if (wParam != 0) {
    telephony::CurrentLineClose();
    return;
  }
  // A call rings: the slide screen asked to dial before it showed that call, and a call placed
  // now would take the ringing one out of sight (the daemon hides the lock screen for a dial).
  if (G().Incoming) return;
  std::u16string number = StoreText(nullptr, u"DialNumber", 81);
  if (!number.empty()) telephony::MakePhoneCall(number.c_str());
}

void OnShutDown(HWND, WPARAM, LPARAM) {
  if (FileExists(u"\\Windows\\HtcUtil.dll")) {
    input::SwitchDeviceOff();
    Sleep(500);
    return;
  }
  std::u16string program = StoreText(nullptr, u"ShutDownEXE", MAX_PATH);
  if (program.empty() || !FileExists(program)) return;
  G().Locked = 0;
  shellwin::UnsubclassShellWindows();
  state::RestoreReminderOptions();
  telephony::CurrentLineClose();
  if (Detailed()) DebugLog(u"Shut Down");
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     nullptr, &pi)) {
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  Sleep(500);
}

void OnAddSleepTimer(HWND, WPARAM, LPARAM) {
  State& g = G();
  if (Detailed()) DebugLog(u"WM_ADD_SLEEPTIMER");
  state::ClearTimerNotifications(kNotifyEvent, false);
  bool stopped = !state::IsTimerListenerRunning() || state::StopTimerEventListener();
  if (stopped && state::StartTimerEventListener(g.notifyEvent, g.notifyStopEvent) >= 0)
    state::AddSleepTimer(kNotifyEvent);
}

void OnSettingChange(HWND, WPARAM wParam, LPARAM) {
  if (wParam != kScreenOrientationChange || G().DisplayOff) return;
  if (S().UnlockOnRotate) lock::DelayUnlock();
}

}  // namespace app
