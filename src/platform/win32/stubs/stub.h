// Device-only services on the desktop. Each service has one file here, named after its
// platform header (power.cpp for platform/power.h), defining every function of the header so
// that the daemon links. A stub does nothing and fails the way the device fails when the
// service is not running: BOOL and handle calls return FALSE / 0 with a last error, calls that
// return an error code or HRESULT return it, out-parameters are cleared. A query that can
// honestly answer "none" (an empty list) may do so.
//
// To stub a new service (platform/foo.h):
//   1. add src/platform/win32/stubs/foo.cpp including "platform/foo.h" and this header;
//   2. define each function with Unavailable() / Unavailable<HANDLE>() or the error code;
//   3. run tools/wine-test: the link of build-win/dorvane2.exe names whatever is still missing.
// CMake picks the file up by itself (cmake/windows.cmake globs src/platform/win32).
#pragma once

#include "platform/kernel.h"
#include "platform/power.h"

namespace win32 {

// The last error of a device service that is not running.
constexpr DWORD kServiceUnavailable = ERROR_SERVICE_NOT_ACTIVE;

// Sets the last error and returns the call's failure value (FALSE, 0 or a null pointer).
template <class T = BOOL>
T Unavailable(DWORD error = kServiceUnavailable) {
  SetLastError(error);
  return T{};
}

}  // namespace win32
