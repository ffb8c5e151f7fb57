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
  PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);
  return true;
}

void StopUnattendedMode() {
  if (lock::IsSyncing() || !HasUnattendedMode()) return;
  core::State& g = G();
  if (Detailed()) DebugLog(u"Stop Unattended Mode %d", g.UnattendedActive.load());
  if (!g.UnattendedActive) return;
  if (PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE)) {
    g.UnattendedActive = 0;
    if (Detailed()) DebugLog(u"Stopped Unattended Mode");
  }
}

}  // namespace power
