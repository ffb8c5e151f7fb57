// The notification database is a device service: nothing can be registered, listed or
// cleared, as on a device whose database does not run. EventModify is a kernel call and is
// passed through with the other event calls (win32/kernel.cpp).
#include "platform/notify.h"

#include "platform/win32/stubs/stub.h"

using win32::Unavailable;

HANDLE CeSetUserNotificationEx(HANDLE, CE_NOTIFICATION_TRIGGER*, CE_USER_NOTIFICATION*) {
  return Unavailable<HANDLE>();
}
BOOL CeGetUserNotificationHandles(HANDLE*, DWORD, DWORD* needed) {
  if (needed) *needed = 0;
  return Unavailable();
}
BOOL CeGetUserNotification(HANDLE, DWORD, DWORD* needed, BYTE*) {
  if (needed) *needed = 0;
  return Unavailable(ERROR_INVALID_HANDLE);
}
BOOL CeClearUserNotification(HANDLE) {
  return Unavailable(ERROR_INVALID_HANDLE);
}
