// Window manager and messaging.
#pragma once

#include "platform/win_types.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT, DWORD);
using WNDENUMPROC = BOOL (*)(HWND, LONG_PTR);

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

ATOM RegisterClassW(const WNDCLASSW* wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// WM_CREATE receives lParam 0: a CREATESTRUCT pointer does not fit a 32-bit parameter here.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
HWND FindWindowW(LPCWSTR className, LPCWSTR title);
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// The keyboard focus: SetFocus answers the window that had it (NULL on failure); GetFocus
// answers the focus window if the calling thread owns it, else NULL.
HWND SetFocus(HWND hwnd);
HWND GetFocus();
// The shell's desktop window (class "DesktopExplorerWindow"); 0 while the shell has none.
HWND GetDesktopWindow();
// The shell's full-screen switch. Any HIDE flag fails unless the window is already in front.
constexpr DWORD SHFS_SHOWTASKBAR = 0x01;
constexpr DWORD SHFS_HIDETASKBAR = 0x02;
constexpr DWORD SHFS_SHOWSIPBUTTON = 0x04;
constexpr DWORD SHFS_HIDESIPBUTTON = 0x08;
constexpr DWORD SHFS_SHOWSTARTICON = 0x10;
constexpr DWORD SHFS_HIDESTARTICON = 0x20;
BOOL SHFullScreen(HWND hwnd, DWORD state);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
// LONG_PTR is 32 bits on the device, so this is the device's own signature.
LONG_PTR GetWindowLongW(HWND hwnd, int index);
LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
BOOL EnumWindows(WNDENUMPROC proc, LONG_PTR context);
int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
HWND GetWindow(HWND hwnd, UINT cmd);
HWND GetParent(HWND hwnd);

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
UINT SetTimer(HWND hwnd, UINT id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT id);

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni);
