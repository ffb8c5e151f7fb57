// The notification database: timed notifications that set a named event (or start a program)
// at a moment of local time, even when the device sleeps, and the calls that list and remove
// them. Notification handles are not kernel handles: CeClearUserNotification releases them.
#pragma once

#include "platform/win_types.h"

constexpr DWORD CNT_EVENT = 1;
constexpr DWORD CNT_TIME = 2;
constexpr DWORD CNT_PERIOD = 3;
constexpr DWORD CNT_CLASSICTIME = 4;

constexpr DWORD CNS_SIGNALLED = 1;

// The application string that makes a notification set the named event NAME.
constexpr WCHAR NAMED_EVENT_PREFIX_TEXT[] = u"\\\\.\\Notifications\\NamedEvents\\";

// 52 bytes on the device; the two strings are host pointers here, so dwSize is sizeof.
struct CE_NOTIFICATION_TRIGGER {
  DWORD dwSize;
  DWORD dwType;
  DWORD dwEvent;
  LPWSTR lpszApplication;
  LPWSTR lpszArguments;
  SYSTEMTIME stStartTime;  // local time
  SYSTEMTIME stEndTime;
};

// The dialog or sound shown with a notification; the daemon passes none.
struct CE_USER_NOTIFICATION {
  DWORD ActionFlags;
  LPWSTR pwszDialogTitle;
  LPWSTR pwszDialogText;
  LPWSTR pwszSound;
  DWORD nMaxSound;
  DWORD dwReserved;
};

// The start of CeGetUserNotification's buffer; both pointers lead to records inside the same
// buffer, after the header.
struct CE_NOTIFICATION_INFO_HEADER {
  HANDLE hNotification;
  DWORD dwStatus;
  CE_NOTIFICATION_TRIGGER* pcent;
  CE_USER_NOTIFICATION* pceun;
};

// `existing` 0 registers a new notification; returns its handle or 0 with the last error.
HANDLE CeSetUserNotificationEx(HANDLE existing, CE_NOTIFICATION_TRIGGER* trigger,
                               CE_USER_NOTIFICATION* userNotification);
// With no buffer (null, 0): TRUE and the count in `needed`. A buffer too small: FALSE,
// ERROR_INSUFFICIENT_BUFFER, `needed` = the count.
BOOL CeGetUserNotificationHandles(HANDLE* handles, DWORD count, DWORD* needed);
// Size 0 or too small: FALSE, ERROR_INSUFFICIENT_BUFFER, `needed` = the bytes wanted.
BOOL CeGetUserNotification(HANDLE notification, DWORD size, DWORD* needed, BYTE* buffer);
BOOL CeClearUserNotification(HANDLE notification);

// The one call behind PulseEvent, ResetEvent and SetEvent.
constexpr DWORD EVENT_PULSE = 1;
constexpr DWORD EVENT_RESET = 2;
constexpr DWORD EVENT_SET = 3;
BOOL EventModify(HANDLE event, DWORD function);
