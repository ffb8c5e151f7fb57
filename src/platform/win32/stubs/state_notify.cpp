// State-store change notifications are a device shell service: registrations fail, so a
// caller falls back to reading the values itself.
#include "platform/registry.h"

HRESULT RegistryNotifyWindow(HKEY, LPCWSTR, LPCWSTR, HWND, UINT, DWORD,
                             const NOTIFICATIONCONDITION*, HREGNOTIFY* notify) {
  if (notify) *notify = 0;
  return E_FAIL;
}
HRESULT RegistryBatchNotification(HREGNOTIFY, DWORD, DWORD) {
  return E_INVALID_HANDLE_HR;
}
HRESULT RegistryCloseNotification(HREGNOTIFY) {
  return E_INVALID_HANDLE_HR;
}
