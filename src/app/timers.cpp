#include "app/timers.h"

#include <unordered_map>

#include "app/messages.h"
#include "app/state.h"
#include "input/keys.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "pim/poom.h"
#include "platform/user.h"
#include "power/power_monitor.h"

namespace app {

using dlog::DebugLog;
using dlog::Detailed;

namespace {
using TimerHandler = void (*)(HWND);

void SlideStarted(HWND hwnd) {
  KillTimer(hwnd, kTimerSlideStarted);
  lock::FindSlideScreen();
  G().SlideStarting = 0;
}

void RestartSlide(HWND hwnd) {
  KillTimer(hwnd, kTimerRestartSlide);
  lock::AwakeSlideScreen(false, true);
}

void CloseNoticeAndDaemon(HWND hwnd) {
  KillTimer(hwnd, kTimerClose);
  PostMessageW(FindWindowW(u"Dialog", u"Dorvane2 Message"), WM_CLOSE, 0, 0);
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void DeferredStart(HWND hwnd) {
  KillTimer(hwnd, kTimerDeferredStart);
  pim::OpenPoomSession(hwnd);
  input::InstallKeyboardHook();
}

void PasswordRetry(HWND hwnd) {
  if (lock::PostToSlideScreen(kMsgPassword, 0)) KillTimer(hwnd, kTimerPasswordRetry);
}

// What "-show" does, for a start within a minute of boot with PasswordLock.
void BootLock(HWND hwnd) {
  KillTimer(hwnd, kTimerBootLock);
  lock::AwakeSlideScreen(false, false);
  PostMessageW(hwnd, kMsgLock, 0, 0);
  SetTimer(hwnd, kTimerPasswordRetry, 1000, nullptr);
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
      {kTimerSlideStarted, &SlideStarted},          {kTimerRestartSlide, &RestartSlide},
      {kTimerClose, &CloseNoticeAndDaemon},         {kTimerDeferredStart, &DeferredStart},
      {kTimerPasswordRetry, &PasswordRetry},        {kTimerBootLock, &BootLock},
      {kTimerStopUnattended, &StopUnattendedLater},
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
