// COM and the automation helpers: straight to ole32 and oleaut32. Interfaces need no
// conversion: the device's abstract classes have COM's vtable layout, and GUIDs, BSTRs and
// SYSTEMTIME the host's layout.
#include "platform/com.h"

#include "platform/win32/convert.h"

using namespace win32;

static_assert(sizeof(GUID) == 16);
static_assert(sizeof(SYSTEMTIME) == 16);

HRESULT CoInitializeEx(void* reserved, DWORD coInit) {
  return real::CoInitializeEx(reserved, coInit);
}
void CoUninitialize() {
  real::CoUninitialize();
}
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid,
                         void** object) {
  return real::CoCreateInstance(&clsid, outer, context, &riid, object);
}

BSTR SysAllocString(const WCHAR* text) {
  return reinterpret_cast<BSTR>(real::SysAllocString(W(text)));
}
void SysFreeString(BSTR text) {
  real::SysFreeString(W(text));
}
UINT SysStringLen(BSTR text) {
  return real::SysStringLen(W(text));
}

int VariantTimeToSystemTime(DATE time, SYSTEMTIME* out) {
  return real::VariantTimeToSystemTime(time, out);
}
// The host's declaration takes a non-const record it only reads.
int SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* out) {
  return real::SystemTimeToVariantTime(const_cast<SYSTEMTIME*>(time), out);
}
