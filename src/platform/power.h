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

// Power-manager message queues: the power manager writes broadcasts into a queue a program
// created for reading; the read handle is waitable while messages are queued.
struct MSGQUEUEOPTIONS {
  DWORD dwSize;  // 20
  DWORD dwFlags;
  DWORD dwMaxMessages;  // 0 = no limit
  DWORD cbMaxMessage;   // > 0
  BOOL bReadAccess;
};
static_assert(sizeof(MSGQUEUEOPTIONS) == 20);

constexpr DWORD MSGQUEUE_NOPRECOMMIT = 1;
constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 2;
constexpr DWORD MSGQUEUE_MSGALERT = 1;
constexpr DWORD ERROR_PIPE_NOT_CONNECTED = 233;
constexpr DWORD ERROR_SERVICE_NOT_ACTIVE = 1062;

HANDLE CreateMsgQueue(LPCWSTR name, const MSGQUEUEOPTIONS* options);
// TRUE with the message (truncated to `size`, last error 122, when it is longer); FALSE with
// 1460 when nothing came within `timeoutMs`, 233 when no writer is attached.
BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD size, DWORD* bytesRead, DWORD timeoutMs,
                  DWORD* flags);
BOOL CloseMsgQueue(HANDLE queue);

constexpr DWORD PBT_TRANSITION = 0x00000001;
constexpr DWORD PBT_RESUME = 0x00000002;
constexpr DWORD PBT_POWERSTATUSCHANGE = 0x00000004;
constexpr DWORD PBT_POWERINFOCHANGE = 0x00000008;
constexpr DWORD POWER_NOTIFY_ALL = 0xFFFFFFFF;

// The header of each broadcast; `Length` data bytes follow it.
struct POWER_BROADCAST {
  DWORD Message;
  DWORD Flags;
  DWORD Length;
};
static_assert(sizeof(POWER_BROADCAST) == 12);

// The data of a PBT_POWERINFOCHANGE broadcast.
struct POWER_BROADCAST_POWER_INFO {
  DWORD dwNumLevels;
  DWORD dwBatteryLifeTime;
  DWORD dwBatteryFullLifeTime;
  DWORD dwBackupBatteryLifeTime;
  DWORD dwBackupBatteryFullLifeTime;
  BYTE bACLineStatus;  // offset 20
  BYTE bBatteryFlag;
  BYTE bBatteryLifePercent;  // offset 22
  BYTE bBackupBatteryFlag;
  BYTE bBackupBatteryLifePercent;
};
static_assert(sizeof(POWER_BROADCAST_POWER_INFO) == 28);

// A handle, or 0 (1062 when the power manager does not run).
HANDLE RequestPowerNotifications(HANDLE queue, DWORD flags);
// 0 on success.
DWORD StopPowerNotifications(HANDLE request);

constexpr DWORD PPN_UNATTENDEDMODE = 3;
// For PPN_UNATTENDEDMODE, TRUE takes and FALSE releases one reference on unattended mode.
BOOL PowerPolicyNotify(DWORD message, DWORD data);
