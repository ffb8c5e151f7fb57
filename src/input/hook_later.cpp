#include "input/hook_later.h"

#include "core/messages.h"
#include "core/state.h"
#include "log/debug_log.h"
#include "platform/user.h"
#include "settings/settings.h"

namespace input {

void TurnOnHookLater() {
  if (settings::S().InCallVolumeControl) return;
  if (dlog::Detailed()) dlog::DebugLog(u"WM_TurnOnHookLater");
  SetTimer(core::G().daemonWindow, core::kTimerHookLater, 1000, nullptr);
}

}  // namespace input
