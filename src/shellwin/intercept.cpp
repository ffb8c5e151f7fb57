#include "shellwin/intercept.h"

#include "core/messages.h"
#include "core/state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "settings/settings.h"

namespace shellwin {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {

constexpr UINT kReminderRefreshMs = 1000;
constexpr UINT kManilaReleaseMs = 6000;

// One subclassed window: the window that was subclassed and the procedure it had.
struct Subclass {
  HWND window = 0;
  WNDPROC saved = nullptr;
};

struct Intercepted {
  Subclass notify, desktop, manila;
};

Intercepted& I() {
  return platform::ProcessGlobal<Intercepted>();
}

// The notification window's title differs between shells: try the usual one, then any.
HWND FindNotifyWindow() {
  if (HWND h = FindWindowW(u"WinCENotify", u"WinCENotify")) return h;
  return FindWindowW(u"WinCENotify", nullptr);
}
HWND FindManila() {
  return FindWindowW(u"Manila", nullptr);
}

bool Swallows(UINT msg) {
  if (msg != WM_PAINT && msg != WM_KEYDOWN && msg != WM_KEYUP) return false;
  return G().Locked || (S().CallerID && G().Incoming);
}

// A slide screen that has hidden itself is unlocking: its unlock message is on its way to the
// daemon window, and pulling it back in front now would lock the device again.
// The slide screen may have been started again since the daemon last looked for it: the handle
// it remembers then names nothing.
bool IsActivation(UINT msg) {
  if (msg != WM_ACTIVATE && msg != WM_NCACTIVATE) return false;
  return IsWindowVisible(lock::CurrentSlideWindow());
}

LRESULT DesktopProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (Swallows(msg)) return 0;
  if (IsActivation(msg) && G().Locked && !G().Incoming) {
    if (Detailed()) DebugLog(u"Set Vurl Foreground (DT)");
    ForceSlideForeground();
    return 0;
  }
  return CallWindowProcW(I().desktop.saved, h, msg, wp, lp);
}

LRESULT ManilaProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (Swallows(msg)) return 0;
  // Unlike the desktop, the home screen does not give way to an offered call.
  if (IsActivation(msg) && (G().Locked || (S().CallerID && G().Incoming))) {
    if (Detailed()) DebugLog(u"Set Vurl Foreground (Man)");
    ForceSlideForeground();
    return 0;
  }
  if (msg == WM_DESTROY) {
    if (G().Locked)
      SetTimer(G().daemonWindow, core::kTimerManilaRelease, kManilaReleaseMs, nullptr);
    if (Detailed()) DebugLog(u"Manila closing");
  }
  return CallWindowProcW(I().manila.saved, h, msg, wp, lp);
}

LRESULT NotifyProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  core::State& g = G();
  if (msg == WM_NOTIFY) {
    if (Detailed())
      DebugLog(u"Notify Msg %d BL=%d", g.ReminderTick.load(), g.PasswordPowerState.load());
    if (g.Locked && g.SlideWindow && GetForegroundWindow() == g.SlideWindow) {
      if (!S().LockNotification)
        g.ReminderTick = GetTickCount();
      else if (!g.PasswordPowerState)
        SetTimer(g.daemonWindow, core::kTimerReminders, kReminderRefreshMs, nullptr);
    }
  } else if (msg == WM_COMMAND) {
    if (Detailed()) DebugLog(u"Notify Command");
    SetTimer(g.daemonWindow, core::kTimerReminders, kReminderRefreshMs, nullptr);
  }
  return CallWindowProcW(I().notify.saved, h, msg, wp, lp);
}

// Answers whether the window is subclassed now; logs "<tag> OK" or "<tag> fail:%d".
bool Install(Subclass& s, HWND window, WNDPROC proc, const char16_t* ok, const char16_t* fail) {
  if (s.saved) return false;
  if (!window) return false;
  s.window = window;
  SetLastError(0);
  s.saved = reinterpret_cast<WNDPROC>(
      SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
  if (s.saved) {
    if (Detailed()) DebugLog(ok);
  } else if (Detailed()) {
    DebugLog(fail, GetLastError());
  }
  return s.saved != nullptr;
}

// Puts the saved procedure back only into the window that was subclassed.
void Remove(Subclass& s, HWND now) {
  if (!s.saved) return;
  if (now && now == s.window) SetWindowLongW(now, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(s.saved));
  s = Subclass{};
}

void HookManila() {
  if (I().manila.saved || S().NoManilaLock) return;
  Install(I().manila, FindManila(), &ManilaProc, u"SCManila OK", u"SCManila fail:%d");
}

void HookDesktop() {
  lock::HideTaskBar();
  Install(I().desktop, GetDesktopWindow(), &DesktopProc, u"SCDesktop OK", u"SCDesktop fail:%d");
}

}  // namespace

void SubclassShellWindows() {
  HookManila();
  HookDesktop();
}

void UnsubclassShellWindows() {
  Remove(I().manila, FindManila());
  lock::UnHideTaskBar();
  Remove(I().desktop, GetDesktopWindow());
}

bool ShellWindowsHeld() {
  return I().desktop.saved != nullptr;
}

bool SubclassNotifyWindow() {
  return Install(I().notify, FindNotifyWindow(), &NotifyProc, u"SCNotify OK", u"SCNotify fail:%d");
}

void UnsubclassNotifyWindow() {
  Remove(I().notify, FindNotifyWindow());
}

void ForgetManilaProc() {
  I().manila = Subclass{};
}

// The platform refuses to hide the task bar for a window not yet in front, so the slide screen
// comes to the front first.
void ForceSlideForeground() {
  HWND slide = lock::CurrentSlideWindow();
  if (!slide) return;
  ShowWindow(slide, SW_SHOW);
  SetForegroundWindow(slide);
  SHFullScreen(slide, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
}

}  // namespace shellwin
