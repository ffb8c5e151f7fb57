// Synthetic key events: what a program uses to press a key as if on the keypad.
#pragma once

#include "platform/win_types.h"

constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
constexpr DWORD KEYEVENTF_SILENT = 0x0004;

// Asynchronous: the event passes the low-level keyboard hooks, then reaches the foreground
// window's thread as WM_KEYDOWN / WM_KEYUP.
void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, DWORD extraInfo);
