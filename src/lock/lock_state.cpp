#include "lock/lock_state.h"

#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/settings.h"
#include "shellwin/intercept.h"
#include "state/reminders.h"
#include "telephony/line.h"

namespace lock {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;

namespace {
DWORD PhoneStateValue(const WCHAR* name) {
  DWORD value = 0;
  if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, u"System\\State\\Phone", name, &value))) return 0;
  return value;
}
}  // namespace

void Lock() {
  core::State& g = G();
  g.Locked = 1;
  shellwin::SubclassShellWindows();
  state::SaveReminderOptions();
  state::DisableReminderOptions();
  g.ReminderTick = 0;
  SetTimer(g.daemonWindow, core::kTimerStopUnattended, 500, nullptr);
  input::LockKeyActions();
  if (Detailed()) DebugLog(u"Locked %d", g.DisplayOff.load());
  PostToSlideScreen(core::kMsgLockState, 1);
}

namespace {
// Everything the lock sequence borrowed goes back. A call the daemon placed itself survives
// when the slide screen is not the one unlocking: a settings reload must not hang it up.
void GiveBack(bool closeOwnLine) {
  core::State& g = G();
  g.Locked = 0;
  KillTimer(g.daemonWindow, 1034);
  // A home screen that came back while locked is taken over only while the phone stays locked:
  // once unlocked, that take-over would bring the lock screen back over the user's phone.
  KillTimer(g.daemonWindow, core::kTimerManilaRelease);
  shellwin::UnsubclassShellWindows();
  state::RestoreReminderOptions();
  power::StartUnattendedMode(false);
  if (closeOwnLine) telephony::CurrentLineClose();
  input::UnlockKeyActions();
  if (Detailed()) DebugLog(u"Unlocked");
  g.UnlockTick = GetTickCount();
}
}  // namespace

void Unlock() {
  GiveBack(true);
  PostToSlideScreen(core::kMsgLockState, 0);
}

void UnlockForReload() {
  if (G().Locked) GiveBack(false);
  G().Locked = 0;
}

bool IsAlreadyLocked() {
  HWND fg = GetForegroundWindow();
  HWND slide = G().SlideWindow;
  if (Detailed()) DebugLog(u"Already Locked? %0X(%0X)", fg, slide);
  return fg != 0 && fg == slide;
}

bool IsSyncing() {
  if (Detailed()) DebugLog(u"Syncing? %d", G().Synchronizing.load());
  return G().Synchronizing == 1;
}

bool IsOnHold() {
  return (PhoneStateValue(u"Status") & 0x4000) != 0;
}

bool IsTalkingOrOnHold() {
  return G().Talking || IsOnHold();
}

bool IsPhoneBusy() {
  core::State& g = G();
  if (g.Incoming || g.Dialing || g.Talking) return true;
  return PhoneStateValue(u"Active Call Count") != 0;
}

bool IsInCallLockWanted() {
  switch (settings::S().InCallLock) {
    case 2:
      return G().BluetoothOn == 1;
    case 1:
      return true;
    default:
      return false;
  }
}

}  // namespace lock
