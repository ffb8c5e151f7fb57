// The device's power manager has no desktop counterpart: every call fails as it does on a
// device whose power manager does not run.
#include "platform/power.h"

#include "platform/kernel.h"

BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX*, BOOL) {
  SetLastError(ERROR_SERVICE_NOT_ACTIVE);
  return FALSE;
}
DWORD SetSystemPowerState(LPCWSTR, DWORD, DWORD) {
  return ERROR_SERVICE_NOT_ACTIVE;
}
HANDLE CreateMsgQueue(LPCWSTR, const MSGQUEUEOPTIONS*) {
  SetLastError(ERROR_SERVICE_NOT_ACTIVE);
  return 0;
}
BOOL ReadMsgQueue(HANDLE, LPVOID, DWORD, DWORD* bytesRead, DWORD, DWORD*) {
  if (bytesRead) *bytesRead = 0;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
BOOL CloseMsgQueue(HANDLE) {
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}
HANDLE RequestPowerNotifications(HANDLE, DWORD) {
  SetLastError(ERROR_SERVICE_NOT_ACTIVE);
  return 0;
}
DWORD StopPowerNotifications(HANDLE) {
  return ERROR_INVALID_HANDLE;
}
BOOL PowerPolicyNotify(DWORD, DWORD) {
  SetLastError(ERROR_SERVICE_NOT_ACTIVE);
  return FALSE;
}
