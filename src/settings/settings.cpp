#include "settings/settings.h"

#include "core/files.h"
#include "core/state.h"
#include "log/debug_log.h"
#include "platform/process_local.h"
#include "platform/sysinfo.h"
#include "settings/exceptions.h"
#include "settings/paths.h"
#include "settings/settings_store.h"

namespace settings {

namespace {
constexpr DWORD kFirstIdleStateVersion = 5;

// Without the music panel program nothing can be started or closed on a headset change.
void CheckMusicPanel() {
  Settings& s = S();
  const auto& path = core::G().FenkPath;
  if (!core::FileExists(path.data())) {
    s.HPstartFenk = 0;
    s.HPcloseFenk = 0;
  }
  if (dlog::Detailed())
    dlog::DebugLog(u"%s path: %s s=%d c=%d", u"Fenk", path.data(), s.HPstartFenk.load(),
                   s.HPcloseFenk.load());
}

// Systems before 5 do not report the idle state the idle triggers wait for. When the version
// cannot be had, the last known one stands.
void ReadOsVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return;
  Settings& s = S();
  s.OsMajorVersion = info.dwMajorVersion;
  if (info.dwMajorVersion < kFirstIdleStateVersion) {
    s.IdleStart = 0;
    s.ACIdleStart = 0;
  }
}

void ProbeDisplayPowerEscape() {
  HDC dc = GetDC(0);
  if (!dc) {
    S().DisplayPowerEscape = 0;
    return;
  }
  DWORD escape = SETPOWERMANAGEMENT;
  int answer =
      ExtEscape(dc, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), 0, nullptr);
  // A negative answer is an error of the driver, not support.
  S().DisplayPowerEscape = answer > 0;
  ReleaseDC(0, dc);
}
}  // namespace

Settings& S() {
  return platform::ProcessGlobal<Settings>();
}

void LoadSettings() {
  LoadStore();
  LoadExceptionList();
  CreateLaunchList();
  settings::ResolveProgramPaths();
  CheckMusicPanel();
  ReadOsVersion();
  ProbeDisplayPowerEscape();
}

}  // namespace settings
