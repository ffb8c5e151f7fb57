// The low-level keyboard hook. The device declares these functions only in its platform
// builder headers, so programs fetch them from "coredll.dll" by name; these are their types.
#pragma once

#include "platform/win_types.h"

using HHOOK = HANDLE;
// lParam points to a KBDLLHOOKSTRUCT, so it is pointer-wide.
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LONG_PTR lParam);

constexpr int WH_KEYBOARD_LL = 20;
constexpr int HC_ACTION = 0;
constexpr DWORD LLKHF_INJECTED = 0x10;
constexpr DWORD LLKHF_UP = 0x80;

// What lParam of a low-level keyboard hook points to (20 bytes on the device).
struct KBDLLHOOKSTRUCT {
  DWORD vkCode;
  DWORD scanCode;
  DWORD flags;
  DWORD time;
  DWORD dwExtraInfo;
};

using SetWindowsHookExWFn = HHOOK (*)(int idHook, HOOKPROC proc, HINSTANCE instance,
                                      DWORD threadId);
using UnhookWindowsHookExFn = BOOL (*)(HHOOK hook);
using CallNextHookExFn = LRESULT (*)(HHOOK hook, int code, WPARAM wParam, LONG_PTR lParam);
