#include "settings/settings.h"

#include "app/paths.h"
#include "platform/process_local.h"
#include "platform/registry.h"

namespace settings {

Settings& S() { return platform::ProcessGlobal<Settings>(); }

void LoadSettings() {
  // The store is not read yet: the daemon runs on its built-in defaults, except that the
  // debug switch is honoured so that a detailed log can be had.
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kStoreKey, 0, 0, &key) == ERROR_SUCCESS) {
    BYTE on = 0;
    DWORD size = 1;
    if (RegQueryValueExW(key, u"DebugOn", nullptr, nullptr, &on, &size) == ERROR_SUCCESS)
      S().DebugOn = on;
    RegCloseKey(key);
  }
  app::ResolveProgramPaths();
}

}  // namespace settings
