// The daemon window's handling of the line monitor's call messages: the display during calls,
// the system incoming-call window kept out of sight, and the lock state across a call.
#include "app/call_events.h"

#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/settings.h"
#include "shellwin/incoming.h"
#include "shellwin/intercept.h"
#include "state/reminders.h"

namespace app {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {

constexpr DWORD kMenuSearchLimitMs = 9000;

bool BlankOnTalk() {
  return G().OnExternalPower ? S().ACBlankOnTalk : S().BlankOnTalk;
}

void PostToSlide(UINT msg, WPARAM wParam) {
  PostMessageW(G().SlideWindow, msg, wParam, 0);
}

void CallDisconnected() {
  core::State& g = G();
  if (BlankOnTalk()) power::SwitchDisplay(false);
  DebugLog(u"UpdateLastCall? %d", g.Locked.load());
  if (g.Locked && S().CallerID && g.IncomingDialog && g.PhoneDialog)
    PostToSlide(core::kMsgCallDisconnected, g.PhoneDialog);
  g.CallKind = 0;
  if (lock::IsOnHold()) return;
  if (g.Locked) {
    lock::PostToSlideScreen(core::kMsgCallLock, 0);
    SetTimer(g.daemonWindow, core::kTimerInCallLock, 1600, nullptr);
    return;
  }
  if (lock::IsInCallLockWanted()) PostToSlide(core::kMsgCallDisconnected, 0);
}

// Searches for the soft-key window until it is found, the offer ends or the time is up;
// false when the time ran out.
bool AwaitMenuWindow(HWND incoming, DWORD start, DWORD pause) {
  core::State& g = G();
  while (!g.IncomingMenuWindow && g.Incoming) {
    if (GetTickCount() - start > kMenuSearchLimitMs) {
      DebugLog(u"Incoming no menu_worker!");
      return false;
    }
    shellwin::FindIncomingMenuWindow(incoming);
    Sleep(pause);
  }
  if (g.IncomingMenuWindow) shellwin::MoveIncomingMenuOutOfSight();
  return true;
}

void KnownIncoming(HWND incoming, DWORD start) {
  core::State& g = G();
  if (g.PhoneSkin) {
    DebugLog(u"Phone is skin");
    if (shellwin::ApplySkinHandling(incoming) && !g.IncomingMenuWindow) {
      shellwin::MarkIncomingHandled(incoming);
      DebugLog(u"Finding incoming menu_worker...");
      AwaitMenuWindow(incoming, start, 200);
    }
  } else {
    if (!g.IncomingMenuWindow) {
      DebugLog(u"Finding incoming menu_worker...");
      AwaitMenuWindow(incoming, start, 100);
    }
    shellwin::MarkIncomingHandled(incoming);
  }
  shellwin::HideIncomingWindow(incoming);
}

void CallOffered() {
  core::State& g = G();
  DebugLog(u"WM Phone is incoming IWnd=%0X MWnd=%0X", g.IncomingDialog.load(),
           g.IncomingMenuWindow.load());
  g.CallKeySent = 0;
  if (!S().CallerID) {
    lock::HideSlideScreen();
    return;
  }
  lock::HideTaskBar();
  DWORD start = GetTickCount();
  while (g.Incoming) {
    if (g.IncomingDialog) return KnownIncoming(g.IncomingDialog, start);
    g.IncomingDialog = shellwin::FindIncomingWindow();
    if (!g.IncomingMenuWindow && GetTickCount() - start > kMenuSearchLimitMs) {
      DebugLog(u"Incoming no menu_worker!");
      return;
    }
    Sleep(100);
  }
}

void CallEnded() {
  core::State& g = G();
  BYTE noHide = 0;
  DebugLog(u"EndCaller: lk=%d cw=%d nh=%d", g.Locked.load(), g.CallWaiting.load(), noHide);
  if (lock::IsTalkingOrOnHold()) {
    if (S().CallerID) {
      g.RerunCaller = 0;
      PostToSlide(core::kMsgCallEnded, 0);
      SetTimer(g.daemonWindow, core::kTimerDropTopmost, 1000, nullptr);
    }
    shellwin::UnsubclassShellWindows();
    shellwin::CheckInCallLock();
    return;
  }
  if (!S().CallerID) {
    if (g.Locked)
      SetTimer(g.daemonWindow, core::kTimerInCallLock, 1600, nullptr);
    else
      lock::UnHideTaskBar();
    return;
  }
  g.RerunCaller = 0;
  SetTimer(g.daemonWindow, core::kTimerDropTopmost, 1000, nullptr);
  // The lock state goes back to what the call found. Only a call handed over as arriving
  // unlocked (2) unlocks: one whose kind was never given (no caller known yet) or was cleared
  // when the call before it ended leaves a locked phone locked.
  if (g.CallKind == 1 || (g.CallKind != 2 && g.Locked)) {
    noHide = 1;
    g.Locked = 1;
    shellwin::SubclassShellWindows();
  } else if (g.CallKind == 2) {
    g.Locked = 0;
  }
  PostToSlide(core::kMsgCallEnded, noHide);
  // "Stay in front" speaks to a slide screen that showed the call. One that never did (the
  // caller hung up before a number or the unknown-caller time came) is still hidden from the
  // call before: the lock screen is brought back as after a disconnect. One that is still
  // starting comes up in front by itself.
  if (noHide && IsWindow(g.SlideWindow) && !IsWindowVisible(g.SlideWindow))
    SetTimer(g.daemonWindow, core::kTimerInCallLock, 1600, nullptr);
  if (!noHide) lock::UnHideTaskBar();
}

}  // namespace

void OnTalking(HWND, WPARAM, LPARAM) {
  core::State& g = G();
  if (!g.Talking) return CallDisconnected();
  if (BlankOnTalk()) {
    Sleep(S().BlankOnTalkDelayMS);
    power::SwitchDisplay(true);
  }
  if (S().VibrateOnConnect) state::Vibrate(150);
  if (g.CallKind == 0) shellwin::CheckInCallLock();
}

void OnIncomingOrEnded(HWND, WPARAM, LPARAM) {
  if (G().Incoming)
    CallOffered();
  else
    CallEnded();
}

void OnDialing(HWND, WPARAM, LPARAM) {
  core::State& g = G();
  DebugLog(u"Dialing %d %d", g.Dialing.load(), g.Locked.load());
  g.CallKind = 0;
  if (g.DialSuppressed) return;
  if (!S().DialedID) {
    if (g.Dialing) {
      if (g.Locked) lock::HideSlideScreen();
    } else if (lock::IsTalkingOrOnHold()) {
      shellwin::UnsubclassShellWindows();
    } else if (g.Locked) {
      lock::SetSlideForeground();
    }
    return;
  }
  HWND slide = lock::FindSlideScreen();
  if (!S().CallerID || !g.PhoneDialog || !slide) return;
  if (g.Dialing) {
    g.CallKind = 4;
    PostMessageW(slide, core::kMsgCaller, g.PhoneDialog, 4);
    g.CallKeySent = 0;
  } else if (!g.CallKeySent) {
    PostMessageW(slide, core::kMsgCallEnded, 0, 0);
  }
}

}  // namespace app
