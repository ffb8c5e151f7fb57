// The display switch, the daemon's own power-off requests and its use of unattended mode.
#include "core/state.h"
#include "lock/lock_state.h"
#include "log/debug_log.h"
#include "platform/power.h"
#include "platform/sysinfo.h"
#include "power/power_monitor.h"
#include "settings/settings.h"

namespace power {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

namespace {
// Before major version 5 the power manager has no unattended mode.
bool HasUnattendedMode() {
  return S().OsMajorVersion > 4;
}
}  // namespace

void SwitchDisplay(bool off) {
  if (!S().DisplayPowerEscape) return;
  HDC dc = GetDC(0);
  VIDEO_POWER_MANAGEMENT vpm{sizeof(VIDEO_POWER_MANAGEMENT), 1,
                             off ? ULONG{VideoPowerOff} : ULONG{VideoPowerOn}};
  if (Detailed()) DebugLog(off ? u"OFF LCD" : u"ON LCD");
  ExtEscape(dc, SETPOWERMANAGEMENT, sizeof vpm, reinterpret_cast<LPCSTR>(&vpm), 0, nullptr);
  ReleaseDC(0, dc);
}

void PoweringSuspend(bool displayOnly) {
  core::State& g = G();
  if (Detailed()) DebugLog(u"Powering Suspend %d o=%d", g.DisplayOff.load(), displayOnly ? 1 : 0);
  g.ReminderTick = 0;
  if (displayOnly && !g.DisplayOff) SwitchDisplay(true);
}

bool StartUnattendedMode(bool force) {
  if (!HasUnattendedMode()) return false;
  core::State& g = G();
  if (Detailed()) DebugLog(u"Start Unattended Mode %d", g.UnattendedActive.load());
  if (g.UnattendedActive > (force ? 1 : 0)) return false;
  // A plain request that still stands is not made twice: the power manager counts every one,
  // and an unreleased pile keeps the phone awake. A forced one asks again.
  if (!force && g.UnattendedRequests > 0) return true;
  if (PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE)) g.UnattendedRequests = g.UnattendedRequests + 1;
  return true;
}

bool ReleaseUnattendedRequests() {
  core::State& g = G();
  while (g.UnattendedRequests > 0) {
    if (!PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE)) return false;
    g.UnattendedRequests = g.UnattendedRequests - 1;
  }
  return true;
}

void StopUnattendedMode() {
  if (lock::IsSyncing() || !HasUnattendedMode()) return;
  core::State& g = G();
  if (Detailed()) DebugLog(u"Stop Unattended Mode %d", g.UnattendedActive.load());
  if (!g.UnattendedActive) return;
  // Only the daemon's own requests are released, all of them at once.
  if (ReleaseUnattendedRequests()) {
    g.UnattendedActive = 0;
    if (Detailed()) DebugLog(u"Stopped Unattended Mode");
  }
}

}  // namespace power
