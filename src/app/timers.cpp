#include "app/timers.h"

#include <unordered_map>

#include "companions/music_panel.h"
#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "lock/wallpaper.h"
#include "log/debug_log.h"
#include "pim/appointments.h"
#include "pim/poom.h"
#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/exceptions.h"
#include "settings/settings.h"
#include "shellwin/intercept.h"
#include "state/counters.h"
#include "state/timed_wakeups.h"
#include "telephony/line.h"

namespace app {

using namespace core;

using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {
using TimerHandler = void (*)(HWND);

void SlideStarted(HWND hwnd) {
  KillTimer(hwnd, kTimerSlideStarted);
  HWND slide = lock::FindSlideScreen();
  State& g = G();
  g.SlideStarting = 0;
  // The slide screen ended while it was still counted as starting, and a wake-up meanwhile
  // skipped it: a phone that is locked, or held for the in-call lock, would be left with no
  // lock screen and the task bar gone. One more launch; a program that cannot start at all is
  // not launched every second.
  if (slide) {
    g.SlideRelaunched = 0;
  } else if ((g.Locked || shellwin::ShellWindowsHeld()) && !g.SlideRelaunched && !g.Incoming) {
    g.SlideRelaunched = 1;
    lock::AwakeSlideScreen(false, true);
  }
  // A ringing call that is still waiting for the slide screen: the launch it waited for failed,
  // or that slide screen ended before it could report ready.
  if (g.RerunCaller && g.Incoming && !g.CallerPosted) lock::RunCaller(true);
}

void RestartSlide(HWND hwnd) {
  KillTimer(hwnd, kTimerRestartSlide);
  // A call rings that the phone's own window shows (CallerID off): the slide screen brought
  // forward would cover it. It runs again, out of sight, and the end of the call sees to it.
  if (G().Incoming && !S().CallerID) {
    if (!lock::FindSlideScreen()) lock::StartSlideScreenForCall();
    return;
  }
  lock::AwakeSlideScreen(false, true);
}

// No caller number came in time: the slide screen shows the call as from an unknown caller.
void UnknownCaller(HWND hwnd) {
  KillTimer(hwnd, kTimerUnknownCaller);
  State& g = G();
  // With CallerID off the phone's own incoming-call window shows the call, as it does when the
  // number comes in time.
  if (!S().CallerID || !g.Incoming || g.CallerPosted || !g.IncomingMenuWindow) return;
  g.UnknownCaller = 1;
  g.CallKind = lock::OfferedCallKind();
  RegistrySetString(HKEY_CURRENT_USER, settings::kStoreKey, u"IncomingName", u"");
  RegistrySetString(HKEY_CURRENT_USER, settings::kStoreKey, u"IncomingNumber", u"unknown");
  lock::RunCaller(true);
}

// Takes back the topmost bit RunCaller gave the slide screen.
void DropTopmost(HWND hwnd) {
  KillTimer(hwnd, kTimerDropTopmost);
  SetWindowLongW(G().SlideWindow, GWL_EXSTYLE, 0x60000000);
}

void ReopenLine(HWND hwnd) {
  KillTimer(hwnd, kTimerReopenLine);
  State& g = G();
  const bool incoming = g.Incoming, dialing = g.Dialing, talking = g.Talking;
  telephony::TapiShutdown();
  // The shutdown ended every call the line still held, the daemon's own among them, and no
  // line reports those ends: their handlers run as for any call that ended, or a lock screen
  // hidden for the call would never come back.
  if (incoming) PostMessageW(hwnd, kMsgIncoming, 0, 0);
  if (dialing) PostMessageW(hwnd, kMsgDialing, 0, 0);
  if (talking) PostMessageW(hwnd, kMsgTalking, 0, 0);
  Sleep(500);
  if (Detailed()) DebugLog(u"TAPI_ReInitialize");
  telephony::TapiInitialize();
}

void CloseNoticeAndDaemon(HWND hwnd) {
  KillTimer(hwnd, kTimerClose);
  PostMessageW(FindWindowW(u"Dialog", u"Dorvane2 Message"), WM_CLOSE, 0, 0);
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void WakeUpDelay(HWND hwnd) {
  KillTimer(hwnd, kTimerWakeUpDelay);
  if (Detailed()) DebugLog(u"WM_WakeUpDelay %d", G().DelayUnlockPending.load());
  if (G().DelayUnlockPending)
    PostMessageW(G().SlideWindow, WM_ACTIVATE, 0, 0);
  else
    lock::DelayWakeup();
}

// After a call: the lock screen comes back, and the call window goes out of its way when the
// in-call lock is wanted.
void InCallLock(HWND hwnd) {
  KillTimer(hwnd, kTimerInCallLock);
  // A call rings (offered while another one talked, or just after one ended): the lock screen
  // brought forward now would cover it. The handling of that call arms the lock again.
  if (G().Incoming) return;
  shellwin::SubclassShellWindows();
  lock::AwakeSlideScreen(false, true);
  if (lock::IsInCallLockWanted()) {
    Sleep(1000);
    HWND call = G().PhoneDialog;
    if (Detailed()) DebugLog(u"Try to Hide Dialog %0X", call);
    for (int i = 0; i < 10 && lock::IsTalkingOrOnHold(); ++i) {
      if (GetForegroundWindow() == call) {
        if (Detailed()) DebugLog(u"Hide Dialog %0X", call);
        ShowWindow(call, SW_MINIMIZE);
        break;
      }
      Sleep(500);
    }
  }
  if (G().Locked) lock::PostToSlideScreen(kMsgCallLock, 1);
}

void RefreshAppointments(HWND hwnd) {
  if (pim::IsAppointmentExportBusy()) {
    if (Detailed()) DebugLog(u"stop refreshing apt");
    pim::AbortAppointmentExport();
    return;
  }
  KillTimer(hwnd, kTimerRefreshAppointments);
  pim::RefreshAppointments();
  if (Detailed()) DebugLog(u"Pulsed");
}

void DelayedUnlock(HWND hwnd) {
  KillTimer(hwnd, kTimerDelayedUnlock);
  State& g = G();
  if (Detailed()) DebugLog(u"WM_DelayUnlocked");
  if (g.Locked) lock::PostToSlideScreen(kMsgUnlock, g.PowerConnected);
  g.DelayUnlockPending = 0;
  g.PowerConnected = 0;
}

void HookLater(HWND hwnd) {
  KillTimer(hwnd, kTimerHookLater);
  input::InstallKeyboardHook();
}

void DeferredStart(HWND hwnd) {
  KillTimer(hwnd, kTimerDeferredStart);
  bool session = SUCCEEDED(pim::OpenPoomSession(hwnd));
  input::InstallKeyboardHook();
  if (S().ShowAppointment) {
    HRESULT hr = pim::SubscribeFolderNotifications(kFolderCalendar, 1);
    if (Detailed()) DebugLog(u"SubNotifyApt %d", hr);
  }
  if (S().ShowTask) {
    HRESULT hr = pim::SubscribeFolderNotifications(kFolderTasks, 1);
    if (Detailed()) DebugLog(u"SubNotifyTask %d", hr);
  }
  if (!session) return;
  // The calendar and the task list as they are now: the next change may be hours away, and
  // until then the slide screen would show what an earlier run left.
  if (G().TaskCount != 0) pim::ExportTasks(S().ShowTask);
  if (S().ShowAppointment) SetTimer(hwnd, kTimerRefreshAppointments, 0, nullptr);
}

// While locked, the slide screen takes the front back from the music panel.
void MusicPanelFront(HWND hwnd) {
  HWND fg = GetForegroundWindow();
  if (!G().Locked || fg == G().SlideWindow) {
    KillTimer(hwnd, kTimerMusicPanelFront);
  } else if (fg && fg == FindWindowW(kMusicPanelClass, kMusicPanelClass)) {
    lock::SetSlideForeground();
    KillTimer(hwnd, kTimerMusicPanelFront);
  } else {
    SetTimer(hwnd, kTimerMusicPanelFront, 1000, nullptr);
  }
}

void ManilaRelease(HWND hwnd) {
  KillTimer(hwnd, kTimerManilaRelease);
  shellwin::ForgetManilaProc();
  lock::SetSlideForeground();
}

void Reminders(HWND hwnd) {
  KillTimer(hwnd, kTimerReminders);
  PostMessageW(hwnd, kMsgReminders, 0, 0);
}

void PasswordRetry(HWND hwnd) {
  if (lock::PostToSlideScreen(kMsgPassword, 0)) KillTimer(hwnd, kTimerPasswordRetry);
}

void EmailPreview(HWND hwnd) {
  if (lock::IsSyncing()) return;
  KillTimer(hwnd, kTimerEmailPreview);
  if (G().UnreadEmail == 0) return;
  state::PreviewLastEmailAccount();
  if (S().ShowEmailPreview && G().Locked && !lock::IsPhoneBusy()) {
    SetSystemPowerState(nullptr, POWER_STATE_ON, 0);
    lock::PostToSlideScreen(kMsgNewMessageWake, 2);
  }
}

void BackgroundStart(HWND hwnd) {
  KillTimer(hwnd, kTimerBackgroundStart);
  lock::BGAutoStart();
}

// What "-show" does, for a start within a minute of boot with PasswordLock.
void BootLock(HWND hwnd) {
  KillTimer(hwnd, kTimerBootLock);
  lock::AwakeSlideScreen(false, false);
  PostMessageW(hwnd, kMsgLock, 0, 0);
  SetTimer(hwnd, kTimerPasswordRetry, 1000, nullptr);
}

void SleepTimer(HWND hwnd) {
  KillTimer(hwnd, kTimerSleepTimer);
  if (S().AutoStart && !lock::IsAlreadyLocked() && !settings::IsExceptionRunning()) {
    lock::AwakeSlideScreen(false, false);
    Sleep(800);
  }
  // A listener started since (a new sleep timer set meanwhile) waits for its own moment.
  if (state::IsTimerListenerRunning() && state::TimerListenerFired())
    state::StopTimerEventListener();
  if (G().DisplayOff)
    power::StopUnattendedMode();
  else
    lock::PostToSlideScreen(kMsgPowerOff, 0);
}

void StopUnattendedLater(HWND hwnd) {
  KillTimer(hwnd, kTimerStopUnattended);
  if (!G().DisplayOff) return;
  if (Detailed()) DebugLog(u"WM_StopUnattendedLater");
  power::StopUnattendedMode();
  if (G().UnattendedActive) SetTimer(hwnd, kTimerStopUnattended, 6000, nullptr);
}

const std::unordered_map<UINT, TimerHandler>& TimerTable() {
  static const std::unordered_map<UINT, TimerHandler> table = {
      {kTimerSlideStarted, &SlideStarted},       {kTimerRestartSlide, &RestartSlide},
      {kTimerUnknownCaller, &UnknownCaller},     {kTimerDropTopmost, &DropTopmost},
      {kTimerReopenLine, &ReopenLine},           {kTimerWallpaper, &lock::ChangeWallpaper},
      {kTimerClose, &CloseNoticeAndDaemon},      {kTimerWakeUpDelay, &WakeUpDelay},
      {kTimerInCallLock, &InCallLock},           {kTimerRefreshAppointments, &RefreshAppointments},
      {kTimerDelayedUnlock, &DelayedUnlock},     {kTimerHookLater, &HookLater},
      {kTimerDeferredStart, &DeferredStart},     {kTimerMusicPanelFront, &MusicPanelFront},
      {kTimerManilaRelease, &ManilaRelease},     {kTimerReminders, &Reminders},
      {kTimerPasswordRetry, &PasswordRetry},     {kTimerEmailPreview, &EmailPreview},
      {kTimerBackgroundStart, &BackgroundStart}, {kTimerBootLock, &BootLock},
      {kTimerSleepTimer, &SleepTimer},           {kTimerStopUnattended, &StopUnattendedLater},
  };
  return table;
}
}  // namespace

void OnTimer(HWND hwnd, WPARAM id, LPARAM) {
  const auto& table = TimerTable();
  auto it = table.find(id);
  if (it != table.end()) it->second(hwnd);
}

}  // namespace app
