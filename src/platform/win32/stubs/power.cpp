// The device's power manager has no desktop counterpart: every call fails as it does on a
// device whose power manager does not run.
#include "platform/power.h"

#include "platform/win32/stubs/stub.h"

using win32::Unavailable;

BOOL GetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX*, BOOL) {
  return Unavailable();
}
DWORD SetSystemPowerState(LPCWSTR, DWORD, DWORD) {
  return ERROR_SERVICE_NOT_ACTIVE;
}
HANDLE CreateMsgQueue(LPCWSTR, const MSGQUEUEOPTIONS*) {
  return Unavailable<HANDLE>();
}
BOOL ReadMsgQueue(HANDLE, LPVOID, DWORD, DWORD* bytesRead, DWORD, DWORD*) {
  if (bytesRead) *bytesRead = 0;
  return Unavailable(ERROR_INVALID_HANDLE);
}
BOOL CloseMsgQueue(HANDLE) {
  return Unavailable(ERROR_INVALID_HANDLE);
}
HANDLE RequestPowerNotifications(HANDLE, DWORD) {
  return Unavailable<HANDLE>();
}
DWORD StopPowerNotifications(HANDLE) {
  return ERROR_INVALID_HANDLE;
}
BOOL PowerPolicyNotify(DWORD, DWORD) {
  return Unavailable();
}
