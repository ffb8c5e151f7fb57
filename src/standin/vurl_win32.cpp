// The slide screen of the Windows build ("vurl.exe", class and title "Vurl"): the daemon will
// not start without it beside its executable. It does what the daemon relies on and nothing
// else: asks for every counter when it starts, locks and says so once it is shown, and hides
// and says so when the daemon asks it to unlock. Drawing, sliding and calls are the real
// slide screen's business.
#include <string>

#include "core/messages.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace {

// A note the window posts itself: WM_SHOWWINDOW arrives before the window turns visible.
constexpr UINT kMsgShown = WM_USER + 1;
// About a phone's screen, so that a person watching the virtual display sees where it is.
constexpr int kWidth = 240, kHeight = 320;

bool locked = false;

void PostToDaemon(UINT msg) {
  if (HWND daemon = FindWindowW(core::kDaemonClass, core::kDaemonClass))
    PostMessageW(daemon, msg, 0, 0);
}

void LockIfShown(HWND h) {
  if (locked || !IsWindowVisible(h)) return;
  locked = true;
  PostToDaemon(core::kMsgLock);
}

void UnlockAndHide(HWND h) {
  if (!locked && !IsWindowVisible(h)) return;
  locked = false;
  ShowWindow(h, SW_HIDE);
  PostToDaemon(core::kMsgUnlock);
}

LRESULT VurlProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SHOWWINDOW:
      if (wp) PostMessageW(h, kMsgShown, 0, 0);
      break;
    case kMsgShown:
      LockIfShown(h);
      return 0;
    // Brought to the front (the daemon also posts these straight to wake it).
    case WM_ACTIVATE:
    case WM_SETFOCUS:
      if (wp) LockIfShown(h);
      break;
    case core::kMsgUnlock:
      UnlockAndHide(h);
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &VurlProc;
  wc.lpszClassName = core::kSlideClass;
  if (!RegisterClassW(&wc)) return 1;
  HWND h = CreateWindowExW(0, core::kSlideClass, core::kSlideClass, WS_POPUP, 0, 0, kWidth, kHeight,
                           0, 0, 0, nullptr);
  if (!h) return 1;
  PostToDaemon(core::kMsgAllCounters);
  PostToDaemon(core::kMsgSlideReady);
  if (argc < 2 || !platform::IStartsWith(platform::U16(argv[1]), u"-hide")) {
    ShowWindow(h, SW_SHOW);
    SetForegroundWindow(h);
  }
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
