// The power manager of the simulated device.
#include <cstdio>

#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/sim/device.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX* status, BOOL) {
  if (sim::StruckWithLastError("GetSystemPowerStatusEx")) return FALSE;
  auto& power = sim::Device::Current().config().power;
  if (!status) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *status = SYSTEM_POWER_STATUS_EX{};
  status->ACLineStatus = power.acLine;
  status->BatteryFlag = power.acLine == 1 ? 8 : power.batteryPercent < 20 ? 2 : 1;
  status->BatteryLifePercent = power.batteryPercent;
  status->BatteryLifeTime = 0xFFFFFFFFu;
  status->BatteryFullLifeTime = 0xFFFFFFFFu;
  status->BackupBatteryFlag = 1;
  status->BackupBatteryLifePercent = 100;
  status->BackupBatteryLifeTime = 0xFFFFFFFFu;
  status->BackupBatteryFullLifeTime = 0xFFFFFFFFu;
  return TRUE;
}

DWORD SetSystemPowerState(LPCWSTR name, DWORD state, DWORD options) {
  if (auto struck = sim::Strike("SetSystemPowerState")) return static_cast<DWORD>(*struck);
  auto& dev = sim::Device::Current();
  char buf[96];
  std::snprintf(buf, sizeof buf, "power request state=0x%08X options=0x%X", state, options);
  std::string text = buf;
  if (name) text += " name=" + platform::U8(platform::WView(name));
  dev.Note(std::move(text));
  return ERROR_SUCCESS;
}
