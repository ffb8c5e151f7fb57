// The power manager of the simulated device.
#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/sim/device.h"

BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX* status, BOOL) {
  auto& power = sim::Device::Current().config().power;
  if (!status || power.statusFails) {
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
