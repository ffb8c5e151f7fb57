#include "app/forward.h"

#include "companions/music_panel.h"
#include "core/messages.h"
#include "core/state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/settings.h"

namespace app {

using namespace core;

using settings::S;

void Forward(UINT msg, WPARAM wParam) {
  lock::PostToSlideScreen(msg, wParam);
  for (const auto& slot : G().listeners)
    if (HWND h = slot) PostMessageW(h, msg, wParam, 0);
}

void CounterForward(UINT msg, int32_t value) {
  State& g = G();
  lock::PostToSlideScreen(msg, static_cast<WPARAM>(value));
  if (!S().LockNotification || !g.Locked || g.DisplayOff) return;
  if (dlog::Detailed()) dlog::DebugLog(u"Post & Repeat Lock %d", value);
  if (value != 0 && !g.Talking) lock::PostToSlideScreen(kMsgRepeatLock, 0);
}

void UnattendedNudge() {
  if (G().DisplayOff && power::StartUnattendedMode(true))
    SetTimer(G().daemonWindow, kTimerStopUnattended, 6000, nullptr);
}

void HeadsetLogic(uint32_t value) {
  if (value == 0 && S().HPcloseFenk)
    companions::CloseMusicPanel();
  else if (value != 0 && S().HPstartFenk)
    companions::AwakeMusicPanel();
}

void AddListener(HWND window) {
  // The daemon's own window as a listener would forward every state message to itself for
  // ever; another program can send that handle by mistake.
  if (window == G().daemonWindow) return;
  for (auto& slot : G().listeners) {
    if (slot == 0) {
      slot = window;
      return;
    }
  }
}

void RemoveListener(HWND window) {
  for (auto& slot : G().listeners) {
    if (slot == window) {
      slot = 0;
      return;
    }
  }
}

}  // namespace app
