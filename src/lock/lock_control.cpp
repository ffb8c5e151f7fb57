// The lock-control operations other parts call on events: calls, delayed unlock and wake-up,
// background start, stylus, and the task bar.
#include "core/clock.h"
#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "lock/wallpaper.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/user.h"
#include "settings/exceptions.h"
#include "settings/settings.h"

namespace lock {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

void RunCaller(bool rerun) {
  core::State& g = G();
  if (Detailed()) DebugLog(u"RunCaller: %d(%d)", g.CallKind.load(), g.CallerPosted.load());
  if (g.CallerPosted) return;
  if (HWND slide = FindSlideScreen()) {
    PostMessageW(slide, core::kMsgCaller, g.daemonWindow, g.CallKind);
    SetWindowLongW(slide, GWL_EXSTYLE, 0x60000008);
    g.CallerPosted = 1;
    if (Detailed()) DebugLog(u"Posted Caller: %d(%d)", g.CallKind.load(), g.CallerPosted.load());
  } else {
    // The slide screen reports ready (32777) once it runs, and is handed the call then.
    StartSlideScreenForCall();
  }
  if (rerun) g.RerunCaller = 1;
  g.CallerPropertyPassed = 0;
}

BYTE OfferedCallKind() {
  core::State& g = G();
  return g.CallWaiting ? 3 : g.Locked ? 1 : 2;
}

namespace {
bool CallLostFromView() {
  core::State& g = G();
  if (!g.Incoming || !g.CallerPosted) return false;
  g.CallerPosted = 0;
  g.RerunCaller = 1;
  return true;
}
}  // namespace

void OfferCallAgainWhenReady() {
  CallLostFromView();
}

void OfferCallAgainUnlocked() {
  if (!CallLostFromView()) return;
  G().CallKind = OfferedCallKind();
  RunCaller(true);
}

void DelayUnlock() {
  core::State& g = G();
  if (g.Locked) {
    g.DelayUnlockPending = 1;
    KillTimer(g.daemonWindow, core::kTimerWakeUpDelay);
    SetTimer(g.daemonWindow, core::kTimerDelayedUnlock, S().WakeUpDelayMS + 1000, nullptr);
  } else {
    g.PowerConnected = 0;
  }
  if (Detailed())
    DebugLog(u"Delay Unlock L=%d DU=%d PC=%d", g.Locked.load(), g.DelayUnlockPending.load(),
             g.PowerConnected.load());
}

void DelayWakeup() {
  core::State& g = G();
  if (Detailed())
    DebugLog(u"NT: (%d - %d; %d)", GetTickCount(), g.ReminderTick.load(), g.UnlockTick.load());
  if (g.ReminderTick) {
    g.ReminderTick = 0;
    return;
  }
  if (IsPhoneBusy()) return;
  if (IsAlreadyLocked()) {
    PostMessageW(g.SlideWindow, WM_SETFOCUS, 2, 0);
  } else if (!settings::IsExceptionRunning()) {
    AwakeSlideScreen(true, false);
  }
  if (Detailed()) DebugLog(u"Delay Wakeup");
  lock::WallpaperCatchUp();
}

void BGAutoStart() {
  if (Detailed()) DebugLog(u"BGAutoStart");
  if (IsAlreadyLocked()) {
    SendToSlideScreen(core::kMsgBackgroundLocked, 0);
    Sleep(1000);
    SendToSlideScreen(core::kMsgBackgroundStart, 0);
    Sleep(200);
    ResetReminderTick();
    return;
  }
  if (!S().AutoStart || settings::IsExceptionRunning()) return;
  AwakeSlideScreen(true, false);
  Sleep(1000);
  PostToSlideScreen(core::kMsgBackgroundStart, 0);
  Sleep(200);
}

void StylusLock() {
  if (IsAlreadyLocked() || settings::IsExceptionRunning()) return;
  AwakeSlideScreen(true, false);
  Sleep(500);
  PostToSlideScreen(core::kMsgStylusLock, 0);
}

void HideTaskBar() {
  HWND bar = G().TaskBarWindow;
  RECT r{};
  if (!bar || !GetWindowRect(bar, &r) || r.top != 0) return;
  if (Detailed()) DebugLog(u"Hide TaskBar");
  MoveWindow(bar, 0, -r.bottom, 0, 0, FALSE);
}

void UnHideTaskBar() {
  HWND bar = G().TaskBarWindow;
  RECT r{};
  if (!bar || !GetWindowRect(bar, &r) || r.bottom > 0) return;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  if (Detailed()) DebugLog(u"UnHide TaskBar %d %d", work.top, work.bottom);
  MoveWindow(bar, 0, 0, work.right, work.top, FALSE);
}

void ResetReminderTick() {
  G().ReminderTick = 0;
  SetTimer(G().daemonWindow, core::kTimerStopUnattended, 0, nullptr);
}

}  // namespace lock
