// The rest of platform/user.h is passed through (win32/windows.cpp); hiding the taskbar and
// input panel belongs to the device shell, so the desktop leaves windows as they are.
#include "platform/user.h"

#include "platform/win32/stubs/stub.h"

BOOL SHFullScreen(HWND, DWORD) {
  return win32::Unavailable();
}
