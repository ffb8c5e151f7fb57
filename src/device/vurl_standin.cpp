#include "device/vurl_standin.h"

#include "core/messages.h"
#include "device/programs.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace device {

namespace {
struct Vurl {
  bool locked = false;
};
Vurl& V() {
  return platform::ProcessGlobal<Vurl>();
}

void PostToDaemon(UINT msg) {
  if (HWND daemon = FindWindowW(core::kDaemonClass, core::kDaemonClass))
    PostMessageW(daemon, msg, 0, 0);
}

// Shown or brought to the front: the slide screen locks and says so.
void LockIfShown(HWND h) {
  if (V().locked || !IsWindowVisible(h)) return;
  V().locked = true;
  PostToDaemon(core::kMsgLock);
}

// The user slid it open, or the daemon asked for a delayed unlock.
void UnlockAndHide(HWND h) {
  if (!V().locked && !IsWindowVisible(h)) return;
  V().locked = false;
  ShowWindow(h, SW_HIDE);
  PostToDaemon(core::kMsgUnlock);
}

LRESULT VurlProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SHOWWINDOW:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
      if (wp) LockIfShown(h);
      return 0;
    case core::kMsgUnlock:
      UnlockAndHide(h);
      return 0;
    case kUserActionMessage:
      if (wp == kUserUnlock) UnlockAndHide(h);
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

int VurlMain(const std::u16string& cmdLine, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &VurlProc;
  wc.lpszClassName = core::kSlideClass;
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, core::kSlideClass, core::kSlideClass, WS_POPUP, CW_USEDEFAULT,
                           CW_USEDEFAULT, 0, 0, 0, 0, 0, nullptr);
  if (!h) return 1;
  // Asks for every counter, then says it is ready for a call that may be waiting.
  PostToDaemon(core::kMsgAllCounters);
  PostToDaemon(core::kMsgSlideReady);
  if (!platform::IStartsWith(cmdLine, u"-hide")) {
    ShowWindow(h, SW_SHOW);
    SetForegroundWindow(h);
  }
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace device
