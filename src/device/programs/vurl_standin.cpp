#include "device/programs/vurl_standin.h"

#include "core/messages.h"
#include "device/programs/programs.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace device {

namespace {
struct Vurl {
  bool locked = false;
  bool showingCall = false;  // a call is on screen: showing it does not lock
};
Vurl& V() {
  return platform::ProcessGlobal<Vurl>();
}

void PostToDaemon(UINT msg, WPARAM wp = 0) {
  if (HWND daemon = FindWindowW(core::kDaemonClass, core::kDaemonClass))
    PostMessageW(daemon, msg, wp, 0);
}

// Shown or brought to the front: the slide screen locks and says so.
void LockIfShown(HWND h) {
  if (V().locked || V().showingCall || !IsWindowVisible(h)) return;
  V().locked = true;
  PostToDaemon(core::kMsgLock);
}

// The user slid it open, or the daemon asked for a delayed unlock.
// What it showed goes with it, a call too: a call that ended while no daemon could say so
// would otherwise keep it from ever locking again.
void UnlockAndHide(HWND h) {
  if (!V().locked && !IsWindowVisible(h)) return;
  V().locked = false;
  V().showingCall = false;
  ShowWindow(h, SW_HIDE);
  PostToDaemon(core::kMsgUnlock);
}

void ShowCall(HWND h) {
  V().showingCall = true;
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h);
}

// The call is over: hidden, or (1) kept in front as the lock screen.
void CallOver(HWND h, bool stayLocked) {
  V().showingCall = false;
  V().locked = stayLocked;
  if (!stayLocked) ShowWindow(h, SW_HIDE);
}

void UserAction(HWND h, WPARAM action) {
  switch (action) {
    case kUserUnlock:
      return UnlockAndHide(h);
    case kUserAnswer:
      return PostToDaemon(core::kMsgPhoneKey, 0x70);
    case kUserReject:
      return PostToDaemon(core::kMsgPhoneKey, 0x71);
    case kUserDial:
      return PostToDaemon(core::kMsgDial, 0);
    case kUserHangup:
      return PostToDaemon(core::kMsgDial, 1);
  }
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
    case core::kMsgCaller:
      ShowCall(h);
      return 0;
    case core::kMsgCallEnded:
      CallOver(h, wp != 0);
      return 0;
    case kUserActionMessage:
      UserAction(h, wp);
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
