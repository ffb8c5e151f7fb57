#include "power/power_monitor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "companions/music_panel.h"
#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "lock/wallpaper.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/exceptions.h"
#include "settings/settings.h"

namespace power {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {
constexpr DWORD kMaxBroadcast = 44;
// The offsets of the power-info record's AC line status and battery percent.
constexpr size_t kAcLineAt = 20;
constexpr size_t kBatteryAt = 22;
constexpr DWORD kTransitionIdle = POWER_STATE_IDLE;
constexpr DWORD kTransitionSuspend = POWER_STATE_SUSPEND;
constexpr DWORD kTransitionUnattended = POWER_STATE_UNATTENDED;
constexpr DWORD kTransitionPassword = POWER_STATE_PASSWORD | POWER_STATE_ON;
// The key the call control takes as "reject the ringing call".
constexpr WPARAM kRejectKey = 113;
constexpr DWORD kPsWindowMs = 2000;
constexpr DWORD kCallEndWindowMs = 1500;
constexpr DWORD kUnlockGraceMs = 3000;

DWORD ReadDword(const uint8_t* p) {
  DWORD v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (platform::FoldCase(text[i]) != platform::FoldCase(prefix[i])) return false;
  return true;
}

// The slide screen gets the activation and the focus straight, as a tap would give them.
void ActivateSlideIfFront() {
  HWND slide = G().SlideWindow;
  if (slide && GetForegroundWindow() == slide) {
    PostMessageW(slide, WM_ACTIVATE, 1, 0);
    PostMessageW(slide, WM_SETFOCUS, 1, 0);
  }
}

void OnPowerInfo(const uint8_t* data, size_t size) {
  // The record ends with the battery bytes; a shorter one carries nothing usable.
  if (size <= kBatteryAt) return;
  core::State& g = G();
  BYTE ac = data[kAcLineAt];
  if (ac != g.OnExternalPower) {
    g.OnExternalPower = ac;
    if (ac != 0) {
      g.PowerConnected = 1;
      switch (S().ActionOnAC) {
        case 1:
          lock::DelayUnlock();
          break;
        case 2:
          lock::StylusLock();
          break;
        default:
          break;
      }
    }
  }
  g.BatteryPercent = data[kBatteryAt];
  if (Detailed()) DebugLog(u"Battery: %d(%d)", g.BatteryPercent.load(), g.OnExternalPower.load());
  companions::BroadcastBattery();
}

void OnDisplayOn(DWORD flags) {
  core::State& g = G();
  if (!g.DisplayOff) {
    if (Detailed()) DebugLog(u"LCD is ON");
    return;
  }
  g.DisplayOff = 0;
  DWORD now = GetTickCount();
  DWORD lastOn = g.DisplayOnTick;
  if (now - lastOn < kPsWindowMs) {
    if (Detailed()) DebugLog(u"PS: %0X ignored (%d - %d)", flags, now, lastOn);
    g.DisplayOnTick = now;
    return;
  }
  g.DisplayOnTick = now;
  DWORD callEnd = g.CallEndTick;
  if (now - callEnd < kCallEndWindowMs) {
    if (Detailed()) DebugLog(u"DS: %0X ignored (%d - %d)", flags, now, callEnd);
    return;
  }
  DWORD delay = S().WakeUpDelayMS;
  if (now - g.UnlockTick < delay + kUnlockGraceMs) return;
  if (g.DelayUnlockPending) {
    if (Detailed()) DebugLog(u"DelayUnlocking");
    return;
  }
  if (lock::IsInCallLockWanted() && lock::IsTalkingOrOnHold()) {
    Sleep(delay);
    ActivateSlideIfFront();
    return;
  }
  if (lock::IsPhoneBusy()) {
    if (Detailed()) DebugLog(u"Phone is running");
    return;
  }
  if (!S().AutoStart) {
    Sleep(delay);
    ActivateSlideIfFront();
    lock::WallpaperCatchUp();
    return;
  }
  if (lock::IsAlreadyLocked()) PostMessageW(g.SlideWindow, WM_ACTIVATE, 1, 0);
  SetTimer(g.daemonWindow, core::kTimerWakeUpDelay, delay, nullptr);
}

bool WantsLockOn(bool batteryOption, bool acOption) {
  bool external = G().OnExternalPower == 1;
  return ((batteryOption && !G().OnExternalPower) || (acOption && external)) &&
         !settings::IsExceptionRunning();
}

void OnDisplayIdle() {
  core::State& g = G();
  g.DisplayOff = 1;
  if (lock::IsInCallLockWanted() && lock::IsTalkingOrOnHold()) {
    // A waiting call that rings must not be covered by the lock screen.
    if (!g.Incoming) lock::AwakeSlideScreen(false, true);
    return;
  }
  if (lock::IsPhoneBusy()) return;
  if (g.VolumePanelShown) lock::PostToSlideScreen(core::kMsgVolumePanel, 0);
  if (lock::IsAlreadyLocked()) return;
  if (WantsLockOn(S().BlankStart, S().ACBlankStart)) {
    Sleep(S().WakeUpDelayMS);
    lock::AwakeSlideScreen(true, false);
  }
}

// The power button: the device keeps running with the display off.
void OnUnattended() {
  core::State& g = G();
  g.UnattendedActive = 1;
  if (g.DisplayOff) return;
  g.DisplayOff = 1;
  if (S().CallerID && S().PowerButtonEndCall && g.Incoming) {
    PostMessageW(g.daemonWindow, core::kMsgPhoneKey, kRejectKey, 0);
    PostMessageW(g.SlideWindow, core::kMsgPowerHangUp, 0, 0);
    if (Detailed()) DebugLog(u"Power button hang up");
    return;
  }
  if (lock::IsInCallLockWanted() && lock::IsTalkingOrOnHold()) {
    if (!g.Incoming) lock::AwakeSlideScreen(false, true);
    Sleep(300);
    StopUnattendedMode();
    return;
  }
  if (lock::IsPhoneBusy()) return;
  if (settings::IsMusicRunning()) {
    StopUnattendedMode();
    SetSystemPowerState(nullptr, POWER_STATE_IDLE, 0);
    return;
  }
  if (Detailed())
    DebugLog(u"Set WM_BGAutoStart VC=%d SD=%d", g.VolumePanelShown.load(), g.SdFlag.load());
  UINT delay = 0;
  if (g.VolumePanelShown) {
    lock::SendToSlideScreen(core::kMsgVolumePanel, 0);
    delay = 500;
  } else if (g.SdFlag) {
    lock::SendToSlideScreen(core::kMsgSdFlag, 1);
    delay = 500;
  }
  SetTimer(g.daemonWindow, core::kTimerBackgroundStart, delay, nullptr);
}

void OnPassword() {
  if (lock::IsPhoneBusy()) return;
  if (lock::IsAlreadyLocked()) {
    lock::PostToSlideScreen(core::kMsgPasswordState, 0);
    return;
  }
  if (WantsLockOn(S().IdleStart, S().ACIdleStart)) lock::AwakeSlideScreen(true, false);
}

void OnTransition(DWORD flags, const uint8_t* data, size_t size) {
  // The name may be cut short by the 44-byte read; it ends at its NUL or at the data's end.
  std::u16string name;
  for (size_t i = 0; i + 1 < size; i += 2) {
    WCHAR c = static_cast<WCHAR>(data[i] | data[i + 1] << 8);
    if (c == 0) break;
    name.push_back(c);
  }
  if (Detailed()) DebugLog(u"Power State: 0x%0X %s LCDOff=%d", flags, name, G().DisplayOff.load());
  G().PasswordPowerState = flags == kTransitionPassword;
  if (StartsWithNoCase(name, u"resuming")) {
    if (G().DelayUnlockPending) G().DisplayOff = 0;
    return;
  }
  if (StartsWithNoCase(name, u"on")) {
    OnDisplayOn(flags);
    return;
  }
  switch (flags) {
    case kTransitionIdle:
      OnDisplayIdle();
      break;
    case kTransitionSuspend:
      G().DisplayOff = 1;
      break;
    case kTransitionUnattended:
      OnUnattended();
      break;
    case kTransitionPassword:
      OnPassword();
      break;
    default:
      break;
  }
}
}  // namespace

void HandleBroadcast(const uint8_t* record, size_t size) {
  if (size < sizeof(POWER_BROADCAST)) return;
  DWORD type = ReadDword(record);
  DWORD flags = ReadDword(record + 4);
  DWORD length = ReadDword(record + 8);
  size_t available = std::min<size_t>(length, size - sizeof(POWER_BROADCAST));
  const uint8_t* data = record + sizeof(POWER_BROADCAST);
  if (type == PBT_POWERINFOCHANGE)
    OnPowerInfo(data, available);
  else if (type == PBT_TRANSITION && length != 0)
    OnTransition(flags, data, available);
}

DWORD PowerThread(LPVOID stopEvent) {
  HANDLE stop = static_cast<HANDLE>(reinterpret_cast<uintptr_t>(stopEvent));
  MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, kMaxBroadcast, TRUE};
  HANDLE queue = CreateMsgQueue(nullptr, &options);
  HANDLE request =
      queue ? RequestPowerNotifications(queue, PBT_TRANSITION | PBT_POWERINFOCHANGE) : 0;
  if (!queue || !request) {
    DebugLog(u"Error: couldn't create MsgQueue or request PowerNotifications");
  } else {
    const HANDLE waits[2] = {queue, stop};
    for (;;) {
      if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) break;
      alignas(DWORD) uint8_t record[kMaxBroadcast];
      DWORD read = 0;
      DWORD msgFlags = 0;
      if (!ReadMsgQueue(queue, record, sizeof record, &read, 0, &msgFlags) || read == 0) continue;
      HandleBroadcast(record, read);
    }
  }
  if (request) StopPowerNotifications(request);
  if (queue) CloseMsgQueue(queue);
  return 0;
}

}  // namespace power
