#include "app/daemon_window.h"

#include <unordered_map>

#include "app/lifecycle.h"
#include "app/messages.h"
#include "app/state.h"
#include "app/timers.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "platform/user.h"

namespace app {

namespace {
using MessageHandler = void (*)(HWND, WPARAM, LPARAM);

void OnFindSlide(HWND, WPARAM, LPARAM) {
  lock::FindSlideScreen();
}
void OnLock(HWND, WPARAM, LPARAM) {
  lock::Lock();
}
void OnUnlock(HWND, WPARAM, LPARAM) {
  lock::Unlock();
}

// Closes the slide screen, then runs the destruction sequence without the closing notice.
void OnCloseAll(HWND hwnd, WPARAM, LPARAM) {
  PostMessageW(G().SlideWindow, WM_CLOSE, 0, 0);
  PostMessageW(hwnd, WM_DESTROY, 0, 0);
}

const std::unordered_map<UINT, MessageHandler>& MessageTable() {
  static const std::unordered_map<UINT, MessageHandler> table = {
      {WM_CREATE, &OnCreate},  {WM_DESTROY, &OnDestroy},      {WM_CLOSE, &OnClose},
      {WM_TIMER, &OnTimer},    {kMsgFindSlide, &OnFindSlide}, {kMsgCloseAll, &OnCloseAll},
      {kMsgUnlock, &OnUnlock}, {kMsgLock, &OnLock},
  };
  return table;
}
}  // namespace

LRESULT DaemonWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  const auto& table = MessageTable();
  auto it = table.find(msg);
  if (it == table.end()) return DefWindowProcW(hwnd, msg, wParam, lParam);
  it->second(hwnd, wParam, lParam);
  return 1;
}

}  // namespace app
