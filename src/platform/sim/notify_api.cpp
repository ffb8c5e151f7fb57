// The notification database calls of the simulated device, and EventModify.
#include <cstring>

#include "platform/kernel.h"
#include "platform/notify.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"

using sim::Dev;

namespace {
constexpr size_t kAlign = alignof(CE_NOTIFICATION_INFO_HEADER);

size_t AlignUp(size_t n) {
  return (n + kAlign - 1) / kAlign * kAlign;
}

size_t TextBytes(const std::u16string& text) {
  return (text.size() + 1) * sizeof(WCHAR);
}

// The record CeGetUserNotification fills: header, trigger, the user notification when there is
// one, then the strings.
size_t RecordSize(const sim::UserNotification& n) {
  size_t size = AlignUp(sizeof(CE_NOTIFICATION_INFO_HEADER)) +
                AlignUp(sizeof(CE_NOTIFICATION_TRIGGER)) + TextBytes(n.application) +
                TextBytes(n.arguments);
  if (n.hasUser)
    size += AlignUp(sizeof(CE_USER_NOTIFICATION)) + TextBytes(n.dialogTitle) +
            TextBytes(n.dialogText) + TextBytes(n.sound);
  return size;
}

LPWSTR PutText(BYTE*& at, const std::u16string& text) {
  auto* out = reinterpret_cast<LPWSTR>(at);
  std::memcpy(at, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  at += (text.size() + 1) * sizeof(WCHAR);
  return out;
}
}  // namespace

HANDLE CeSetUserNotificationEx(HANDLE existing, CE_NOTIFICATION_TRIGGER* trigger,
                               CE_USER_NOTIFICATION* userNotification) {
  if (sim::StruckWithLastError("CeSetUserNotificationEx")) return 0;
  if (!trigger) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD error = ERROR_SUCCESS;
  HANDLE h = Dev().notifications().Set(Dev(), existing, *trigger, userNotification, &error);
  if (!h) SetLastError(error);
  return h;
}

BOOL CeGetUserNotificationHandles(HANDLE* handles, DWORD count, DWORD* needed) {
  if (sim::StruckWithLastError("CeGetUserNotificationHandles")) return FALSE;
  const auto& entries = Dev().notifications().Entries();
  DWORD have = static_cast<DWORD>(entries.size());
  if (needed) *needed = have;
  if (!handles && count == 0) return TRUE;
  if (!handles || count < have) {
    SetLastError(handles ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (DWORD i = 0; i < have; ++i) handles[i] = entries[i].handle;
  return TRUE;
}

BOOL CeGetUserNotification(HANDLE notification, DWORD size, DWORD* needed, BYTE* buffer) {
  if (sim::StruckWithLastError("CeGetUserNotification")) return FALSE;
  const sim::UserNotification* n = Dev().notifications().Find(notification);
  if (!n || !needed) {
    SetLastError(n ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  size_t want = RecordSize(*n);
  *needed = static_cast<DWORD>(want);
  if (!buffer || size < want) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  BYTE* at = buffer + AlignUp(sizeof(CE_NOTIFICATION_INFO_HEADER));
  auto* trigger = reinterpret_cast<CE_NOTIFICATION_TRIGGER*>(at);
  at += AlignUp(sizeof(CE_NOTIFICATION_TRIGGER));
  CE_USER_NOTIFICATION* user = nullptr;
  if (n->hasUser) {
    user = reinterpret_cast<CE_USER_NOTIFICATION*>(at);
    at += AlignUp(sizeof(CE_USER_NOTIFICATION));
  }
  CE_NOTIFICATION_TRIGGER t{};
  t.dwSize = sizeof t;
  t.dwType = n->type;
  t.dwEvent = n->event;
  t.lpszApplication = PutText(at, n->application);
  t.lpszArguments = PutText(at, n->arguments);
  t.stStartTime = n->start;
  t.stEndTime = n->end;
  std::memcpy(trigger, &t, sizeof t);
  if (user) {
    CE_USER_NOTIFICATION u{};
    u.ActionFlags = n->actionFlags;
    u.pwszDialogTitle = PutText(at, n->dialogTitle);
    u.pwszDialogText = PutText(at, n->dialogText);
    u.pwszSound = PutText(at, n->sound);
    u.nMaxSound = static_cast<DWORD>(n->sound.size() + 1);
    std::memcpy(user, &u, sizeof u);
  }
  // Entries that fired are gone, so a listed one has not been signalled yet.
  CE_NOTIFICATION_INFO_HEADER header{notification, 0, trigger, user};
  std::memcpy(buffer, &header, sizeof header);
  return TRUE;
}

BOOL CeClearUserNotification(HANDLE notification) {
  if (sim::StruckWithLastError("CeClearUserNotification")) return FALSE;
  if (Dev().notifications().Clear(Dev(), notification)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

BOOL EventModify(HANDLE event, DWORD function) {
  if (sim::StruckWithLastError("EventModify")) return FALSE;
  switch (function) {
    case EVENT_PULSE:
      return PulseEvent(event);
    case EVENT_RESET:
      return ResetEvent(event);
    case EVENT_SET:
      return SetEvent(event);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
