// The only conversions between the device's types and the host's: handles and message
// parameters are 32 bits on the device, pointer-wide on the host. Windows keeps 32
// significant bits in every handle (sign-extended: the predefined keys and -1 stay negative),
// so both directions are exact. WCHAR and the host's wchar_t are both UTF-16 code units.
#pragma once

#include "platform/win32/real.h"
#include "platform/win_types.h"

namespace win32 {

template <class T = real::HANDLE>
T Host(uint32_t handle) {
  return reinterpret_cast<T>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}
template <class T>
uint32_t Device(T* handle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

inline real::HWND Wnd(HWND h) {
  return Host<real::HWND>(h);
}
inline real::HKEY Key(HKEY k) {
  return Host<real::HKEY>(k);
}

inline const wchar_t* W(const WCHAR* s) {
  return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* W(WCHAR* s) {
  return reinterpret_cast<wchar_t*>(s);
}

// The module a device module handle stands for (win32/library.cpp); 0 is the program's own.
real::HANDLE HostModule(HMODULE module);

// A message parameter widened as the host passes it: wParam unsigned, lParam signed.
inline real::WPARAM WideW(WPARAM w) {
  return w;
}
inline real::LPARAM WideL(LPARAM l) {
  return l;
}

}  // namespace win32
