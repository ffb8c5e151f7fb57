// System information: the operating system's version and the screen's device context with the
// display driver's escapes.
#pragma once

#include "platform/win_types.h"

using HDC = uint32_t;
using LPCSTR = const char*;
using LPSTR = char*;

constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;  // must be sizeof(OSVERSIONINFOW) = 276
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOW) == 276);

BOOL GetVersionExW(OSVERSIONINFOW* info);

// Display escapes.
constexpr int QUERYESCSUPPORT = 8;
constexpr int SETPOWERMANAGEMENT = 6147;  // 0x1803
constexpr int GETPOWERMANAGEMENT = 6148;  // 0x1804

enum VIDEO_POWER_STATE : ULONG {
  VideoPowerOn = 1,
  VideoPowerStandBy = 2,
  VideoPowerSuspend = 3,
  VideoPowerOff = 4,
};

struct VIDEO_POWER_MANAGEMENT {
  ULONG Length;  // 12
  ULONG DPMSVersion;
  ULONG PowerState;
};
static_assert(sizeof(VIDEO_POWER_MANAGEMENT) == 12);

// hwnd 0 is the whole screen.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
// QUERYESCSUPPORT takes the 4-byte code of another escape and answers > 0 when the driver
// supports it. Other escapes answer > 0 on success, 0 when unsupported, -1 on error.
int ExtEscape(HDC hdc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output);
