// Threads, events (EventModify too), waits, time, module name and last error: straight to kernel32.
#include "platform/kernel.h"

#include "platform/notify.h"
#include "platform/win32/convert.h"

using namespace win32;

HANDLE CreateThread(LPVOID security, DWORD stackSize, LPTHREAD_START_ROUTINE start, LPVOID param,
                    DWORD flags, DWORD* threadId) {
  return Device(real::CreateThread(security, stackSize, start, param, flags, threadId));
}
BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
  return real::TerminateThread(Host(thread), exitCode);
}
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  return real::GetExitCodeThread(Host(thread), exitCode);
}
DWORD GetCurrentThreadId() {
  return real::GetCurrentThreadId();
}
DWORD GetCurrentProcessId() {
  return real::GetCurrentProcessId();
}

HANDLE CreateEventW(LPVOID security, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  return Device(real::CreateEventW(security, manualReset, initialState, W(name)));
}
BOOL SetEvent(HANDLE event) {
  return real::SetEvent(Host(event));
}
BOOL ResetEvent(HANDLE event) {
  return real::ResetEvent(Host(event));
}
BOOL PulseEvent(HANDLE event) {
  return real::PulseEvent(Host(event));
}
// The device's one call behind the three above; the desktop has only the three.
BOOL EventModify(HANDLE event, DWORD function) {
  switch (function) {
    case EVENT_PULSE:
      return PulseEvent(event);
    case EVENT_RESET:
      return ResetEvent(event);
    case EVENT_SET:
      return SetEvent(event);
    default:
      real::SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
BOOL CloseHandle(HANDLE h) {
  return real::CloseHandle(Host(h));
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds) {
  return real::WaitForSingleObject(Host(h), milliseconds);
}
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count > MAXIMUM_WAIT_OBJECTS || (count && !handles)) {
    real::SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  real::HANDLE host[MAXIMUM_WAIT_OBJECTS];
  for (DWORD i = 0; i < count; ++i) host[i] = Host(handles[i]);
  return real::WaitForMultipleObjects(count, host, waitAll, milliseconds);
}
void Sleep(DWORD milliseconds) {
  real::Sleep(milliseconds);
}

DWORD GetTickCount() {
  return real::GetTickCount();
}
void GetLocalTime(SYSTEMTIME* st) {
  real::GetLocalTime(st);
}
void GetSystemTime(SYSTEMTIME* st) {
  real::GetSystemTime(st);
}
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  return real::SystemTimeToFileTime(st, ft);
}
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  return real::FileTimeToSystemTime(ft, st);
}
// TIME_ZONE_INFORMATION has the same 172-byte layout on the device and the host.
DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* tz) {
  return real::GetTimeZoneInformation(tz);
}
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* utc,
                                     SYSTEMTIME* local) {
  return real::SystemTimeToTzSpecificLocalTime(tz, utc, local);
}
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  return real::FileTimeToLocalFileTime(utc, local);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  return real::GetModuleFileNameW(HostModule(module), W(buffer), size);
}

DWORD GetLastError() {
  return real::GetLastError();
}
void SetLastError(DWORD error) {
  real::SetLastError(error);
}
