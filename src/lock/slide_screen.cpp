#include "lock/slide_screen.h"

#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "log/debug_log.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/user.h"
#include "shellwin/intercept.h"

namespace lock {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;

HWND CurrentSlideWindow() {
  HWND h = G().SlideWindow;
  if (!IsWindow(h)) {
    h = FindWindowW(core::kSlideClass, core::kSlideClass);
    G().SlideWindow = h;
  }
  return h;
}

HWND FindSlideScreen() {
  HWND h = CurrentSlideWindow();
  if (Detailed()) DebugLog(u"SlideWnd %0X", h);
  return h;
}

bool PostToSlideScreen(UINT msg, WPARAM wParam) {
  HWND h = FindSlideScreen();
  if (!h) return false;
  PostMessageW(h, msg, wParam, G().DisplayOff ? 1 : 0);
  return true;
}

void SendToSlideScreen(UINT msg, WPARAM wParam) {
  if (HWND h = FindSlideScreen()) SendMessageW(h, msg, wParam, 0);
}

namespace {
// The handle with its lowest bit set brings the slide screen's owned windows along.
void ShowInFront(HWND h) {
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h | 1);
}

void LaunchSlideScreen(bool startHidden) {
  core::State& g = G();
  g.SlideStarting = 1;
  SHELLEXECUTEINFO sei{};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_NOCLOSEPROCESS;
  sei.lpFile = g.VurlPath.data();
  if (startHidden) {
    if (Detailed()) DebugLog(u"Start & Hide Vurl");
    sei.lpParameters = u"-hide";
    sei.nShow = SW_HIDE;
  } else {
    sei.nShow = SW_SHOWNORMAL;
  }
  if (ShellExecuteEx(&sei) && sei.hProcess) CloseHandle(sei.hProcess);
  SetTimer(g.daemonWindow, core::kTimerSlideStarted, 1000, nullptr);
}
}  // namespace

void AwakeSlideScreen(bool frontIfLocked, bool startHidden) {
  core::State& g = G();
  if (Detailed()) DebugLog(u"Awaking Vurl cl:%d lk:%d", frontIfLocked ? 1 : 0, g.Locked.load());
  if (!startHidden && IsPhoneBusy()) return;
  // A slide screen that was ended leaves a handle that names nothing; forgetting it here lets
  // the lock screen be launched again instead of "brought forward" for ever.
  if (g.SlideWindow && !IsWindow(g.SlideWindow)) g.SlideWindow = 0;
  if (frontIfLocked && g.Locked && g.SlideWindow) {
    HWND fg = GetForegroundWindow();
    if (fg == g.SlideWindow) return;
    if (Detailed()) DebugLog(u"GW %0X", fg);
    SetSlideForeground();
    return;
  }
  if (Detailed()) {
    DebugLog(u"Awaking Vurl");
    DebugLog(u"Incoming=%d Talking=%d OnHold=%d Dialing=%d", g.Incoming.load(), g.Talking.load(),
             IsOnHold() ? 1 : 0, g.Dialing.load());
  }
  HWND slide = FindSlideScreen();
  if (slide) ShowInFront(slide);
  if (GetForegroundWindow() != slide || !slide) {
    if (slide) {
      ShowInFront(slide);
    } else if (!g.SlideStarting) {
      // A phone that is locked, or whose shell is held for the in-call lock, gets its lock
      // screen back in front when the slide screen died: started hidden, it would leave the
      // phone unlocked with the shell still held and the task bar gone.
      if (startHidden && (g.Locked || shellwin::ShellWindowsHeld())) startHidden = false;
      if (startHidden) g.Locked = 0;
      LaunchSlideScreen(startHidden);
    }
  }
  if (Detailed()) DebugLog(u"Finish Awaking Vurl");
}

void StartSlideScreenForCall() {
  if (!G().SlideStarting) LaunchSlideScreen(true);
}

void SetSlideForeground() {
  if (Detailed()) DebugLog(u"SetSlideForeground");
  HWND h = G().SlideWindow;
  ShowWindow(h, SW_SHOW);
  PostMessageW(h, WM_SETFOCUS, 1, 0);
  shellwin::SubclassShellWindows();
}

void HideSlideScreen() {
  shellwin::UnsubclassShellWindows();
  if (HWND h = FindSlideScreen()) {
    if (Detailed()) DebugLog(u"Hiding Vurl");
    ShowWindow(h, SW_HIDE);
  }
}

}  // namespace lock
