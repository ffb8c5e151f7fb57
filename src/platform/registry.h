// Registry and the shell's registry helpers.
#pragma once

#include "platform/win_types.h"

constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     DWORD samDesired, LPVOID security, HKEY* result, DWORD* disposition);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, DWORD samDesired, HKEY* result);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved,
                   LPWSTR keyClass, DWORD* classChars, FILETIME* lastWrite);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

// Shell helpers (regext.h): HRESULT results, never create the key.
HRESULT RegistryGetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* data);
HRESULT RegistrySetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD data);
HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT chars);
HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data);

// State-store change notifications (regext.h). A registration posts `msg` to the window on
// each change of the watched value: wParam = the new REG_DWORD (0 when deleted or of another
// type), lParam = the user data. It dies with its window.
using HREGNOTIFY = HANDLE;

enum REG_COMPARISONTYPE : DWORD {
  REG_CT_ANYCHANGE = 0,
  REG_CT_EQUAL = 1,
  REG_CT_NOT_EQUAL = 2,
  REG_CT_GREATER = 3,
  REG_CT_GREATER_OR_EQUAL = 4,
  REG_CT_LESS = 5,
  REG_CT_LESS_OR_EQUAL = 6,
  REG_CT_CONTAINS = 7,
  REG_CT_STARTS_WITH = 8,
  REG_CT_ENDS_WITH = 9,
};

// dwMask != 0 compares DWORDs under the mask; 0 compares strings without regard to case.
struct NOTIFICATIONCONDITION {
  REG_COMPARISONTYPE ctComparisonType;
  DWORD dwMask;
  union {
    LPCWSTR psz;
    DWORD dw;
  } TargetValue;
};

HRESULT RegistryNotifyWindow(HKEY root, LPCWSTR subKey, LPCWSTR valueName, HWND hwnd, UINT msg,
                             DWORD userData, const NOTIFICATIONCONDITION* condition,
                             HREGNOTIFY* notify);
// Debounces a registration: each change restarts the idle countdown, `maxMs` caps the delay
// since the first change (INFINITE: no cap); only the latest value is posted.
HRESULT RegistryBatchNotification(HREGNOTIFY notify, DWORD idleMs, DWORD maxMs);
HRESULT RegistryCloseNotification(HREGNOTIFY notify);
