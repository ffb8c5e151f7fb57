#include <string_view>

#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/hooks.h"
#include "platform/library.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "settings/settings.h"

namespace input {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {

constexpr BYTE kVkSwallowNext = 200;
constexpr BYTE kVkOff = 223;
constexpr BYTE kVkVolumeUp = 0x75;    // VK_F6
constexpr BYTE kVkVolumeDown = 0x76;  // VK_F7
constexpr BYTE kVkRightWin = 92;

// Read by the hook on the device's input thread, written on the window thread: flag bytes.
struct HookState {
  HHOOK handle = 0;
  CallNextHookExFn callNext = nullptr;
  core::Byte swallowNext{0};
  core::Byte lastKey{0};
};

HookState& H() {
  return platform::ProcessGlobal<HookState>();
}

bool IsCameraOrRadioShown() {
  for (const WCHAR* cls : {u"camera", u"arcsoft_camera", u"fmradiomain", u"MITSCAMERA"})
    if (FindWindowW(cls, nullptr)) return true;
  return false;
}

LRESULT Pass(int code, WPARAM wParam, LONG_PTR lParam) {
  HookState& h = H();
  return h.callNext ? h.callNext(h.handle, code, wParam, lParam) : 0;
}

// Takes a volume key for the slide screen's own panel, or lets the system have it.
LRESULT VolumeRule(WPARAM wParam, LONG_PTR lParam) {
  core::State& g = G();
  if (g.VolumePanelShown) return Pass(HC_ACTION, wParam, lParam);
  if (!S().NoVolumeKeyLock && GetForegroundWindow() == g.SlideWindow && g.SlideWindow &&
      !(S().InCallVolumeControl && lock::IsTalkingOrOnHold()))
    return Pass(HC_ACTION, wParam, lParam);
  lock::SendToSlideScreen(core::kMsgVolumePanel, 1);
  H().swallowNext = 1;
  return 1;
}

LRESULT KeyHookProc(int code, WPARAM wParam, LONG_PTR lParam) {
  if (code != HC_ACTION || G().DisplayOff) return Pass(code, wParam, lParam);
  const auto* rec = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  BYTE vk = static_cast<BYTE>(rec->vkCode);
  if (Detailed()) DebugLog(u"Key: 0x%0X", rec->vkCode);
  if (G().Incoming) return Pass(HC_ACTION, wParam, lParam);
  HookState& h = H();
  switch (vk) {
    case 0x26:
    case 0x27:
    case 0x28:
    case kVkOff:
      return Pass(HC_ACTION, wParam, lParam);
    case kVkSwallowNext:
      h.swallowNext = 1;
      return 1;
    case kVkVolumeUp:
      if (!S().VolumeControl || IsCameraOrRadioShown() || h.lastKey == kVkRightWin)
        return Pass(HC_ACTION, wParam, lParam);
      return VolumeRule(wParam, lParam);
    case kVkVolumeDown:
      if (!S().VolumeControl || IsCameraOrRadioShown()) return Pass(HC_ACTION, wParam, lParam);
      return VolumeRule(wParam, lParam);
    default:
      break;
  }
  h.lastKey = vk;
  // A key the daemon sends itself (call control) is never the one to swallow.
  if (h.swallowNext && !(rec->flags & LLKHF_INJECTED)) {
    h.swallowNext = 0;
    return 1;
  }
  return Pass(HC_ACTION, wParam, lParam);
}

void Log(std::u16string_view text) {
  if (Detailed()) DebugLog(text);
}

void HookFailed() {
  Log(u"Turn on Key Hook failed");
  MessageBoxW(0, u"Cannot hook the keyboard. Some of the functions will be disabled.",
              u"Dorvane2 Message", MB_ICONINFORMATION);
  S().NoKeyBoardHook = 1;
}

void HookOn(SetWindowsHookExWFn setHook) {
  HookState& h = H();
  if (h.handle) {
    Log(u"Already Key Hooked");
    return;
  }
  if (setHook) h.handle = setHook(WH_KEYBOARD_LL, &KeyHookProc, G().instance, 0);
  if (h.handle)
    Log(u"Turn on Key Hook");
  else
    HookFailed();
}

void HookOff(UnhookWindowsHookExFn unhook) {
  HookState& h = H();
  if (!h.handle) return;
  if (unhook && unhook(h.handle)) {
    h.handle = 0;
    Log(u"Turn off Key Hook");
  } else {
    Log(u"Turn off Key Hook failed");
  }
}

}  // namespace

void SetKeyHook(bool on) {
  if (S().NoKeyBoardHook) return;
  HMODULE core = LoadLibraryW(u"coredll.dll");
  if (!core) return;
  auto setHook = reinterpret_cast<SetWindowsHookExWFn>(GetProcAddressW(core, u"SetWindowsHookExW"));
  auto unhook =
      reinterpret_cast<UnhookWindowsHookExFn>(GetProcAddressW(core, u"UnhookWindowsHookEx"));
  H().callNext = reinterpret_cast<CallNextHookExFn>(GetProcAddressW(core, u"CallNextHookEx"));
  if (on)
    HookOn(setHook);
  else
    HookOff(unhook);
  FreeLibrary(core);
}

void TurnOnHookLater() {
  if (S().InCallVolumeControl) return;
  Log(u"WM_TurnOnHookLater");
  SetTimer(G().daemonWindow, core::kTimerHookLater, 1000, nullptr);
}

}  // namespace input
