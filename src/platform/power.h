// Power manager: power status.
#pragma once

#include "platform/win_types.h"

struct SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;  // 0 offline, 1 online, 255 unknown
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;  // 255 unknown
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
};
static_assert(sizeof(SYSTEM_POWER_STATUS_EX) == 24);

BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX* status, BOOL update);
