// Driver switches of the simulated device's system information and display driver. The OS
// version itself is DeviceConfig::osMajor / osMinor; these add what the device config lacks.
#pragma once

#include <set>

#include "platform/sysinfo.h"

namespace sim {

struct SysInfoConfig {
  DWORD buildNumber = 19202;
  // Whether the display driver has the power escapes (SETPOWERMANAGEMENT and its query).
  bool displayEscape = true;
  // What the display driver was last told; starts on.
  ULONG displayPowerState = VideoPowerOn;
  // Device contexts handed out and not yet released.
  std::set<HDC> openDCs;
};

// The switches of the current device; a new device starts with the defaults.
SysInfoConfig& SysInfo();

}  // namespace sim
