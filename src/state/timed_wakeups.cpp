#include "state/timed_wakeups.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/notify.h"
#include "platform/registry.h"
#include "platform/wstr.h"

namespace state {

using dlog::DebugLog;
using dlog::Detailed;

namespace {

constexpr WCHAR kStoreKey[] = u"Software\\Zeq\\Vurl";
constexpr WCHAR kSleepTimer[] = u"SleepTimer";
// Less lead than this and the platform's alarm may not be set in time (100-ns units: 5 s).
constexpr uint64_t kMinimumLead = 50000000;

uint64_t Ticks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// false only when the notification was ours and could not be removed.
bool ClearIfNamed(HANDLE notification, std::u16string_view name) {
  DWORD size = 0;
  CeGetUserNotification(notification, 0, &size, nullptr);
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size ? size : 1]);
  if (!buffer) {
    if (Detailed()) DebugLog(u"lpBuffer is NULL!");
    return true;
  }
  std::memset(buffer.get(), 0, size);
  if (size < sizeof(CE_NOTIFICATION_INFO_HEADER) ||
      !CeGetUserNotification(notification, size, &size, buffer.get())) {
    if (Detailed()) DebugLog(u"CeGetUserNotification failed!");
    return true;
  }
  CE_NOTIFICATION_INFO_HEADER header;
  std::memcpy(&header, buffer.get(), sizeof header);
  const WCHAR* application = header.pcent ? header.pcent->lpszApplication : nullptr;
  if (!application || platform::WView(application).find(name) == std::u16string_view::npos)
    return true;
  if (CeClearUserNotification(notification)) return true;
  if (Detailed())
    DebugLog(u"CeClearUserNotification <%s> failed <%d>!", application, GetLastError());
  return false;
}

void DeleteSleepTimer(HKEY key) {
  RegDeleteValueW(key, kSleepTimer);
}

// The registration itself; `application` gets the string when a notification was attempted.
HRESULT RegisterSleepTimer(HKEY key, const WCHAR* name, std::u16string& application) {
  FILETIME wake{};
  DWORD type = 0;
  DWORD size = sizeof wake;
  // A value of another type or length is not a moment: it stays as it is, unused.
  if (RegQueryValueExW(key, kSleepTimer, nullptr, &type, reinterpret_cast<BYTE*>(&wake), &size) !=
          ERROR_SUCCESS ||
      type != REG_BINARY || size != sizeof wake)
    return E_FAIL;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME nowFt{};
  SystemTimeToFileTime(&now, &nowFt);
  SYSTEMTIME start{};
  if (Ticks(wake) < Ticks(nowFt) + kMinimumLead || !FileTimeToSystemTime(&wake, &start)) {
    DeleteSleepTimer(key);
    return E_FAIL;
  }
  if (Detailed()) DebugLog(u"AddTimer %d.%d.%d", start.wHour, start.wMinute, start.wSecond);
  application = std::u16string(NAMED_EVENT_PREFIX_TEXT) + name;
  application.resize(std::min<size_t>(application.size(), MAX_PATH - 1));
  CE_NOTIFICATION_TRIGGER trigger{};
  trigger.dwSize = sizeof trigger;
  trigger.dwType = CNT_TIME;
  trigger.lpszApplication = application.data();
  trigger.stStartTime = start;
  // The handle names the notification, not a kernel object: it is simply not kept, and the
  // notification stays registered until it fires or is cleared.
  if (CeSetUserNotificationEx(0, &trigger, nullptr)) return S_OK;
  DeleteSleepTimer(key);
  if (Detailed()) DebugLog(u"AddTimer failed");
  return E_FAIL;
}

}  // namespace

int ClearTimerNotifications(const WCHAR* eventName, bool) {
  if (Detailed()) DebugLog(u"Clearing TimerNotification");
  DWORD count = 0;
  if (!CeGetUserNotificationHandles(nullptr, 0, &count)) {
    if (Detailed()) DebugLog(u"CeGetUserNotificationHandles failed <%d>!", GetLastError());
    return 0;
  }
  if (count == 0) return 1;
  if (Detailed()) DebugLog(u"Clearing TimerNotification %d", count);
  std::unique_ptr<HANDLE[]> handles(new (std::nothrow) HANDLE[count]);
  if (!handles) {
    if (Detailed()) DebugLog(u"pHandles is NULL");
    return 0;
  }
  DWORD got = count;
  if (!CeGetUserNotificationHandles(handles.get(), count, &got)) {
    if (Detailed()) DebugLog(u"CeGetUserNotificationHandles failed!");
    return 0;
  }
  std::u16string_view name = platform::WView(eventName);
  for (DWORD i = 0; i < std::min(count, got); ++i)
    if (!ClearIfNamed(handles[i], name)) return 0;
  if (Detailed()) DebugLog(u"Cleared TimerNotification");
  return 1;
}

HRESULT AddSleepTimer(const WCHAR* eventName) {
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kStoreKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
    return E_FAIL;
  std::u16string application;
  HRESULT result = RegisterSleepTimer(key, eventName, application);
  if (Detailed()) DebugLog(u"AddTimer %s(%d)", application, result);
  RegCloseKey(key);
  return result;
}

}  // namespace state
