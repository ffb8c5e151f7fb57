// The device's messaging system has no desktop counterpart: no session can be opened. The
// buffer calls still work, so that whatever frees a buffer it was handed stays sound.
#include "platform/mapi.h"

#include <cstdlib>

HRESULT MAPIInitialize(void*) {
  return MAPI_E_NOT_INITIALIZED;
}
void MAPIUninitialize() {}
HRESULT MAPILogonEx(ULONG_PTR, WCHAR*, WCHAR*, ULONG, IMAPISession** session) {
  if (session) *session = nullptr;
  return MAPI_E_NOT_INITIALIZED;
}
SCODE MAPIAllocateBuffer(ULONG size, void** buffer) {
  if (!buffer) return MAPI_E_INVALID_PARAMETER;
  *buffer = std::calloc(1, size ? size : 1);
  return *buffer ? S_OK : E_OUTOFMEMORY;
}
ULONG MAPIFreeBuffer(void* buffer) {
  std::free(buffer);
  return 0;
}
void FreeProws(SRowSet* rows) {
  if (!rows) return;
  for (ULONG i = 0; i < rows->cRows; ++i) MAPIFreeBuffer(rows->aRow[i].lpProps);
  MAPIFreeBuffer(rows);
}
HRESULT MailDisplayMessage(LPENTRYID, ULONG) {
  return MAPI_E_NOT_INITIALIZED;
}
