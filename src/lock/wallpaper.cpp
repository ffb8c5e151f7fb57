#include "lock/wallpaper.h"

#include "core/clock.h"
#include "core/messages.h"
#include "core/state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "settings/settings.h"

namespace lock {

using namespace core;

using dlog::DebugLog;
using dlog::Detailed;

namespace {
struct Wallpaper {
  uint32_t lastChangeMinute = 0;
};
Wallpaper& WP() {
  return platform::ProcessGlobal<Wallpaper>();
}

UINT Period() {
  return settings::S().WallpaperChangeTime * 60000u;
}
}  // namespace

void ArmWallpaperTimer(HWND hwnd) {
  uint32_t minutes = settings::S().WallpaperChangeTime;
  if (!minutes) return;
  SetTimer(hwnd, kTimerWallpaper, Period(), nullptr);
  WP().lastChangeMinute = MinuteClock();
  if (Detailed()) DebugLog(u"Set Change Wallpaper %d", minutes);
}

void ChangeWallpaper(HWND hwnd) {
  // With no interval set (switched off since the timer was armed, or a stray timer message)
  // re-arming would make a 0 ms timer that never stops firing.
  if (!settings::S().WallpaperChangeTime) {
    KillTimer(hwnd, kTimerWallpaper);
    return;
  }
  SetTimer(hwnd, kTimerWallpaper, Period(), nullptr);
  if (Detailed()) DebugLog(u"WM_ChangeWallpaper");
  if (G().Incoming) return;
  lock::PostToSlideScreen(kMsgChangeWallpaper, 0);
  WP().lastChangeMinute = MinuteClock();
}

void WallpaperCatchUp() {
  uint32_t minutes = settings::S().WallpaperChangeTime;
  if (!minutes) return;
  uint32_t now = MinuteClock();
  if (Detailed()) DebugLog(u"t=%d pc=%d", now, WP().lastChangeMinute);
  if (WP().lastChangeMinute + minutes < now)
    SetTimer(G().daemonWindow, kTimerWallpaper, 2000, nullptr);
}

}  // namespace lock
