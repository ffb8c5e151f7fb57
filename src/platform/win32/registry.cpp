// The registry: straight to advapi32.
#include "platform/registry.h"

#include "platform/win32/convert.h"

using namespace win32;

namespace {
// The device has no access rights and its programs ask for none (0); the desktop gives a key
// opened for nothing neither reading nor writing. No rights asked for means all of them, or
// reading where the user may not write.
template <class Open>
LONG WithDeviceAccess(DWORD samDesired, Open open) {
  if (samDesired) return open(samDesired);
  LONG r = open(KEY_ALL_ACCESS);
  return r == ERROR_ACCESS_DENIED ? open(KEY_READ) : r;
}
}  // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     DWORD samDesired, LPVOID security, HKEY* result, DWORD* disposition) {
  real::HKEY got = nullptr;
  LONG r = WithDeviceAccess(samDesired, [&](DWORD access) {
    return real::RegCreateKeyExW(Key(key), W(subKey), reserved, W(keyClass), options, access,
                                 security, &got, disposition);
  });
  if (result) *result = r == ERROR_SUCCESS ? Device(got) : 0;
  return r;
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, DWORD samDesired, HKEY* result) {
  real::HKEY got = nullptr;
  LONG r = WithDeviceAccess(samDesired, [&](DWORD access) {
    return real::RegOpenKeyExW(Key(key), W(subKey), options, access, &got);
  });
  if (result) *result = r == ERROR_SUCCESS ? Device(got) : 0;
  return r;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  return real::RegQueryValueExW(Key(key), W(valueName), reserved, type, data, dataSize);
}
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize) {
  return real::RegSetValueExW(Key(key), W(valueName), reserved, type, data, dataSize);
}
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return real::RegDeleteValueW(Key(key), W(valueName));
}
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  return real::RegDeleteKeyW(Key(key), W(subKey));
}
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved,
                   LPWSTR keyClass, DWORD* classChars, FILETIME* lastWrite) {
  return real::RegEnumKeyExW(Key(key), index, W(name), nameChars, reserved, W(keyClass), classChars,
                             lastWrite);
}
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize) {
  return real::RegEnumValueW(Key(key), index, W(name), nameChars, reserved, type, data, dataSize);
}
LONG RegFlushKey(HKEY key) {
  return real::RegFlushKey(Key(key));
}
LONG RegCloseKey(HKEY key) {
  return real::RegCloseKey(Key(key));
}
