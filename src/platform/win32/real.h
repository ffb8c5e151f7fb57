// The desktop Win32 functions the backend passes through to, declared with the host's own
// types. <windows.h> cannot share a translation unit with the platform headers (same names,
// other types, and macros for every constant), so the few records and entry points the
// backend needs are declared here, in namespace `real`; C linkage binds them to the system
// DLLs' exports whatever namespace they sit in.
#pragma once

#include <cstdint>

namespace real {

using HANDLE = void*;
using HWND = struct HWND__*;
using HKEY = struct HKEY__*;
using UINT = uint32_t;
using DWORD = uint32_t;
using BOOL = int32_t;
using LONG = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using WCHAR = wchar_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
using THREADPROC = DWORD (*)(void*);

struct POINT {
  LONG x, y;
};
struct RECT {
  LONG left, top, right, bottom;
};

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HANDLE hInstance, hIcon, hCursor, hbrBackground;
  const WCHAR* lpszMenuName;
  const WCHAR* lpszClassName;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct STARTUPINFOW {
  DWORD cb;
  WCHAR *lpReserved, *lpDesktop, *lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
  uint16_t wShowWindow, cbReserved2;
  uint8_t* lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess, hThread;
  DWORD dwProcessId, dwThreadId;
};

struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  uint32_t fMask;
  HWND hwnd;
  const WCHAR *lpVerb, *lpFile, *lpParameters, *lpDirectory;
  int nShow;
  HANDLE hInstApp;
  void* lpIDList;
  const WCHAR* lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};

struct PROCESSENTRY32W {
  DWORD dwSize, cntUsage, th32ProcessID;
  uintptr_t th32DefaultHeapID;
  DWORD th32ModuleID, cntThreads, th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[260];
};

struct SRWLOCK {
  void* ptr;
};

constexpr int GWLP_WNDPROC = -4;
constexpr int GCW_ATOM = -32;
constexpr UINT WM_NCDESTROY = 0x0082;

extern "C" {
// user32
uint16_t RegisterClassW(const WNDCLASSW*);
BOOL UnregisterClassW(const WCHAR*, HANDLE);
HWND CreateWindowExW(DWORD, const WCHAR*, const WCHAR*, DWORD, int, int, int, int, HWND, HANDLE,
                     HANDLE, void*);
BOOL DestroyWindow(HWND);
BOOL IsWindow(HWND);
BOOL IsWindowVisible(HWND);
HWND FindWindowW(const WCHAR*, const WCHAR*);
BOOL ShowWindow(HWND, int);
BOOL SetForegroundWindow(HWND);
HWND GetForegroundWindow();
HWND SetFocus(HWND);
HWND GetFocus();
BOOL SetWindowPos(HWND, HWND, int, int, int, int, UINT);
BOOL MoveWindow(HWND, int, int, int, int, BOOL);
BOOL GetWindowRect(HWND, RECT*);
LONG_PTR GetWindowLongPtrW(HWND, int);
LONG_PTR SetWindowLongPtrW(HWND, int, LONG_PTR);
uintptr_t GetClassLongPtrW(HWND, int);
LRESULT CallWindowProcW(WNDPROC, HWND, UINT, WPARAM, LPARAM);
LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM);
DWORD GetWindowThreadProcessId(HWND, DWORD*);
BOOL EnumWindows(WNDENUMPROC, LPARAM);
int GetClassNameW(HWND, WCHAR*, int);
int GetWindowTextW(HWND, WCHAR*, int);
BOOL SetWindowTextW(HWND, const WCHAR*);
HWND GetWindow(HWND, UINT);
HWND GetParent(HWND);
BOOL PostMessageW(HWND, UINT, WPARAM, LPARAM);
BOOL PostThreadMessageW(DWORD, UINT, WPARAM, LPARAM);
LRESULT SendMessageW(HWND, UINT, WPARAM, LPARAM);
void PostQuitMessage(int);
BOOL GetMessageW(MSG*, HWND, UINT, UINT);
BOOL PeekMessageW(MSG*, HWND, UINT, UINT, UINT);
BOOL TranslateMessage(const MSG*);
LRESULT DispatchMessageW(const MSG*);
UINT_PTR SetTimer(HWND, UINT_PTR, UINT, TIMERPROC);
BOOL KillTimer(HWND, UINT_PTR);
int MessageBoxW(HWND, const WCHAR*, const WCHAR*, UINT);
BOOL SystemParametersInfoW(UINT, UINT, void*, UINT);
HANDLE GetDC(HWND);
int ReleaseDC(HWND, HANDLE);
HWND GetShellWindow();
void keybd_event(uint8_t, uint8_t, DWORD, uintptr_t);
// gdi32
int ExtEscape(HANDLE, int, int, const char*, int, char*);
// kernel32
HANDLE CreateThread(void*, uintptr_t, THREADPROC, void*, DWORD, DWORD*);
BOOL TerminateThread(HANDLE, DWORD);
BOOL GetExitCodeThread(HANDLE, DWORD*);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
HANDLE CreateEventW(void*, BOOL, BOOL, const WCHAR*);
BOOL SetEvent(HANDLE);
BOOL ResetEvent(HANDLE);
BOOL PulseEvent(HANDLE);
BOOL CloseHandle(HANDLE);
DWORD WaitForSingleObject(HANDLE, DWORD);
DWORD WaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD);
void Sleep(DWORD);
DWORD GetTickCount();
void GetLocalTime(void*);
void GetSystemTime(void*);
BOOL SystemTimeToFileTime(const void*, void*);
BOOL FileTimeToSystemTime(const void*, void*);
DWORD GetTimeZoneInformation(void*);
BOOL SystemTimeToTzSpecificLocalTime(const void*, const void*, void*);
BOOL FileTimeToLocalFileTime(const void*, void*);
DWORD GetModuleFileNameW(HANDLE, WCHAR*, DWORD);
DWORD GetLastError();
void SetLastError(DWORD);
BOOL GetVersionExW(void*);
void AcquireSRWLockExclusive(SRWLOCK*);
void ReleaseSRWLockExclusive(SRWLOCK*);
DWORD GetFileAttributesW(const WCHAR*);
HANDLE CreateFileW(const WCHAR*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE);
BOOL WriteFile(HANDLE, const void*, DWORD, DWORD*, void*);
BOOL ReadFile(HANDLE, void*, DWORD, DWORD*, void*);
DWORD SetFilePointer(HANDLE, LONG, LONG*, DWORD);
DWORD GetFileSize(HANDLE, DWORD*);
BOOL FlushFileBuffers(HANDLE);
BOOL CopyFileW(const WCHAR*, const WCHAR*, BOOL);
BOOL MoveFileW(const WCHAR*, const WCHAR*);
BOOL DeleteFileW(const WCHAR*);
BOOL CreateDirectoryW(const WCHAR*, void*);
BOOL CreateProcessW(const WCHAR*, WCHAR*, void*, void*, BOOL, DWORD, void*, const WCHAR*,
                    STARTUPINFOW*, PROCESS_INFORMATION*);
BOOL TerminateProcess(HANDLE, UINT);
BOOL GetExitCodeProcess(HANDLE, DWORD*);
HANDLE CreateToolhelp32Snapshot(DWORD, DWORD);
BOOL Process32FirstW(HANDLE, PROCESSENTRY32W*);
BOOL Process32NextW(HANDLE, PROCESSENTRY32W*);
HANDLE LoadLibraryW(const WCHAR*);
HANDLE GetModuleHandleW(const WCHAR*);
void* GetProcAddress(HANDLE, const char*);
BOOL FreeLibrary(HANDLE);
// advapi32
LONG RegCreateKeyExW(HKEY, const WCHAR*, DWORD, WCHAR*, DWORD, DWORD, void*, HKEY*, DWORD*);
LONG RegOpenKeyExW(HKEY, const WCHAR*, DWORD, DWORD, HKEY*);
LONG RegQueryValueExW(HKEY, const WCHAR*, DWORD*, DWORD*, uint8_t*, DWORD*);
LONG RegSetValueExW(HKEY, const WCHAR*, DWORD, DWORD, const uint8_t*, DWORD);
LONG RegDeleteValueW(HKEY, const WCHAR*);
LONG RegDeleteKeyW(HKEY, const WCHAR*);
LONG RegEnumKeyExW(HKEY, DWORD, WCHAR*, DWORD*, DWORD*, WCHAR*, DWORD*, void*);
LONG RegEnumValueW(HKEY, DWORD, WCHAR*, DWORD*, DWORD*, DWORD*, uint8_t*, DWORD*);
LONG RegFlushKey(HKEY);
LONG RegCloseKey(HKEY);
// shell32
BOOL ShellExecuteExW(SHELLEXECUTEINFOW*);
// ole32 (GUIDs have the device's layout)
LONG CoInitializeEx(void*, DWORD);
void CoUninitialize();
LONG CoCreateInstance(const void*, void*, DWORD, const void*, void**);
// oleaut32 (SYSTEMTIME has the device's layout)
WCHAR* SysAllocString(const WCHAR*);
void SysFreeString(WCHAR*);
UINT SysStringLen(WCHAR*);
int VariantTimeToSystemTime(double, void*);
int SystemTimeToVariantTime(void*, double*);
}

}  // namespace real
