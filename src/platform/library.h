// Loading the device's libraries and getting their functions by name or by ordinal.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// A function of a library, cast by the caller to its real type.
using FARPROC = void (*)();

// An ordinal in place of a function name, as MAKEINTRESOURCE makes it.
inline LPCWSTR MAKEINTRESOURCEW(WORD ordinal) {
  return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(ordinal));
}
inline bool IS_INTRESOURCE(LPCWSTR name) {
  return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

HMODULE LoadLibraryW(LPCWSTR fileName);
// A module already loaded, by name; with no name, the running program's own (its instance).
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// CE's GetProcAddress takes a wide name.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
BOOL FreeLibrary(HMODULE module);
