#include "companions/music_panel.h"

#include <string>

#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "messaging/dismissal.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "settings/settings.h"

namespace companions {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {
constexpr WCHAR kDolmClass[] = u"Dolm";
constexpr WCHAR kMusicKey[] = u"Software\\Zeq\\Fenk";
constexpr WPARAM kPauseCommand = 301;
constexpr DWORD kShellEntryKind = 3;
constexpr UINT kSlideStepsAsideMs = 8000;

void LogCallFlags() {
  core::State& g = G();
  if (Detailed())
    DebugLog(u"Incoming=%d Talking=%d OnHold=%d Dialing=%d", g.Incoming.load(), g.Talking.load(),
             lock::IsOnHold() ? 1 : 0, g.Dialing.load());
}
}  // namespace

bool PostToMusicPanel(UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND panel = FindWindowW(core::kMusicPanelClass, core::kMusicPanelClass);
  return panel && PostMessageW(panel, msg, wParam, lParam);
}

void AwakeMusicPanel() {
  if (lock::IsPhoneBusy()) return;
  if (Detailed()) DebugLog(u"Awaking Fenk");
  LogCallFlags();
  core::State& g = G();
  HWND slide = g.SlideWindow;
  if (g.Locked && slide && GetForegroundWindow() == slide) {
    lock::HideSlideScreen();
    SetTimer(g.daemonWindow, core::kTimerMusicPanelFront, kSlideStepsAsideMs, nullptr);
  }
  SHELLEXECUTEINFO info{};
  info.cbSize = sizeof info;
  info.fMask = 0x40;  // SEE_MASK_NOCLOSEPROCESS
  info.lpFile = g.FenkPath.data();
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteEx(&info);
  if (info.hProcess) CloseHandle(info.hProcess);
  if (Detailed()) DebugLog(u"Finish Awaking Fenk");
}

void CloseMusicPanel() {
  if (lock::IsPhoneBusy()) return;
  if (Detailed()) DebugLog(u"Closing Fenk");
  LogCallFlags();
  PostToMusicPanel(WM_CLOSE, 0, 0);
  if (Detailed()) DebugLog(u"Finish Closing Fenk");
  if (S().HPcloseFenk == 2) {
    Sleep(1000);
    messaging::DismissShellEntries(kShellEntryKind, 0);
  }
}

void StopMusicPanel() {
  WCHAR title[MAX_PATH] = {};
  bool loaded = SUCCEEDED(RegistryGetString(HKEY_CURRENT_USER, kMusicKey, u"CurrentTitle", title,
                                            MAX_PATH)) &&
                title[0] != 0;
  if (loaded) {
    DWORD status = 1;
    if (SUCCEEDED(RegistryGetDWORD(HKEY_CURRENT_USER, kMusicKey, u"Status", &status)) &&
        status == 0)
      PostToMusicPanel(WM_COMMAND, kPauseCommand, 0);
  }
  Sleep(200);
  PostToMusicPanel(WM_CLOSE, 0, 0);
}

void BroadcastBattery() {
  core::State& g = G();
  WPARAM percent = g.BatteryPercent;
  LPARAM external = g.OnExternalPower;
  if (HWND slide = lock::FindSlideScreen()) {
    PostMessageW(slide, core::kMsgBattery, percent, external);
    PostMessageW(slide, core::kMsgBatteryState, 0, g.DisplayOff);
  }
  for (const auto& slot : g.listeners)
    if (HWND h = slot) PostMessageW(h, core::kMsgBattery, percent, external);
}

void NotifyDolmBattery() {
  if (HWND dolm = FindWindowW(kDolmClass, kDolmClass))
    PostMessageW(dolm, core::kMsgBattery, G().BatteryPercent, G().OnExternalPower);
}

}  // namespace companions
