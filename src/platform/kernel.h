// Kernel services: threads, events, waits, time, module name and last error.
#pragma once

#include "platform/win_types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

HANDLE CreateThread(LPVOID security, DWORD stackSize, LPTHREAD_START_ROUTINE start, LPVOID param,
                    DWORD flags, DWORD* threadId);
BOOL TerminateThread(HANDLE thread, DWORD exitCode);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

HANDLE CreateEventW(LPVOID security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
BOOL PulseEvent(HANDLE event);
BOOL CloseHandle(HANDLE h);

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
void Sleep(DWORD milliseconds);

DWORD GetTickCount();
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTime(SYSTEMTIME* st);
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);

// The device's time zone: UTC = local time + Bias (minutes). With daylight saving, DaylightBias
// replaces StandardBias from DaylightDate (local standard time) to StandardDate (local daylight
// time). A date with wYear 0 is "the wDay-th wDayOfWeek of wMonth" (5 = the last); with a year,
// it holds for that year only. wMonth 0: no daylight saving.
struct TIME_ZONE_INFORMATION {
  LONG Bias;
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
static_assert(sizeof(TIME_ZONE_INFORMATION) == 172);

constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;  // the zone has no daylight saving
constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFFu;

DWORD GetTimeZoneInformation(TIME_ZONE_INFORMATION* tz);
// `tz` null: the device's zone. Daylight saving as it applies at the moment converted.
BOOL SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION* tz, const SYSTEMTIME* utc,
                                     SYSTEMTIME* local);
// Shifts by the zone's bias as it applies now, whatever the moment converted.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

DWORD GetLastError();
void SetLastError(DWORD error);
