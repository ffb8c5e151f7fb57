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

constexpr DWORD POWER_STATE_ON = 0x00010000;
constexpr DWORD POWER_STATE_OFF = 0x00020000;
constexpr DWORD POWER_STATE_CRITICAL = 0x00040000;
constexpr DWORD POWER_STATE_BOOT = 0x00080000;
constexpr DWORD POWER_STATE_IDLE = 0x00100000;
constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
constexpr DWORD POWER_STATE_UNATTENDED = 0x00400000;
constexpr DWORD POWER_STATE_RESET = 0x00800000;
constexpr DWORD POWER_STATE_USERIDLE = 0x01000000;
constexpr DWORD POWER_STATE_BACKLIGHTON = 0x02000000;
constexpr DWORD POWER_STATE_PASSWORD = 0x10000000;
constexpr DWORD POWER_FORCE = 0x00001000;

// Returns an error code; a non-null name wins over the state flags.
DWORD SetSystemPowerState(LPCWSTR name, DWORD state, DWORD options);
