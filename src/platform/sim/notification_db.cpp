#include "platform/sim/notification_db.h"

#include <algorithm>
#include <cstdio>

#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/sim/device.h"
#include "platform/sim/power_manager.h"
#include "platform/wstr.h"

namespace sim {

using platform::U8;

namespace {

std::u16string Text(LPCWSTR s) {
  return s ? std::u16string(platform::WView(s)) : std::u16string();
}

bool IsTimed(DWORD type) {
  return type == CNT_TIME || type == CNT_PERIOD || type == CNT_CLASSICTIME;
}

bool ToTicks(const SYSTEMTIME& st, uint64_t* ticks) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  *ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return true;
}

std::string Describe(const char* what, const UserNotification& n) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "notification %s 0x%08X at %04u-%02u-%02u %02u:%02u:%02u ", what,
                n.handle, n.start.wYear, n.start.wMonth, n.start.wDay, n.start.wHour,
                n.start.wMinute, n.start.wSecond);
  std::string text = buf + U8(n.application);
  if (n.hasUser && !n.dialogText.empty()) text += " \"" + U8(n.dialogText) + "\"";
  return text;
}

// The named event a notification's application string names, or empty.
std::u16string NamedEventOf(const std::u16string& application) {
  std::u16string_view prefix = NAMED_EVENT_PREFIX_TEXT;
  if (application.size() <= prefix.size() ||
      !platform::IEquals(std::u16string_view(application).substr(0, prefix.size()), prefix))
    return {};
  return application.substr(prefix.size());
}
// What the database takes, whoever registers it.
bool Acceptable(const UserNotification& n) {
  uint64_t ticks = 0;
  return n.type >= CNT_EVENT && n.type <= CNT_CLASSICTIME && !n.application.empty() &&
         (!IsTimed(n.type) || ToTicks(n.start, &ticks));
}
}  // namespace

HANDLE NotificationDatabase::Set(Device& dev, HANDLE existing,
                                 const CE_NOTIFICATION_TRIGGER& trigger,
                                 const CE_USER_NOTIFICATION* user, DWORD* error) {
  UserNotification n;
  n.type = trigger.dwType;
  n.event = trigger.dwEvent;
  n.application = Text(trigger.lpszApplication);
  n.arguments = Text(trigger.lpszArguments);
  n.start = trigger.stStartTime;
  n.end = trigger.stEndTime;
  if (trigger.dwSize != sizeof(CE_NOTIFICATION_TRIGGER) || !Acceptable(n)) {
    *error = ERROR_INVALID_PARAMETER;
    return 0;
  }
  if (user) {
    n.hasUser = true;
    n.actionFlags = user->ActionFlags;
    n.dialogTitle = Text(user->pwszDialogTitle);
    n.dialogText = Text(user->pwszDialogText);
    n.sound = Text(user->pwszSound);
  }
  n.generation = nextGeneration_++;
  Thread* self = dev.scheduler().Current();
  n.owner = self && self->process ? self->process->exeName : u"device";
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const UserNotification& e) { return e.handle == existing; });
  if (existing && it == entries_.end()) {
    *error = ERROR_INVALID_HANDLE;
    return 0;
  }
  if (existing) {
    n.handle = existing;
    *it = n;
  } else {
    n.handle = next_;
    next_ += 4;
    entries_.push_back(n);
  }
  dev.Note(Describe("set", n));
  if (IsTimed(n.type)) Schedule(dev, n);
  return n.handle;
}

bool NotificationDatabase::Restore(Device& dev, UserNotification n) {
  constexpr HANDLE kLastHandle = 0xFFFFFFFB;  // the next one after it must still be a handle
  if (!n.handle || n.handle > kLastHandle || Find(n.handle) || !Acceptable(n)) return false;
  n.generation = nextGeneration_++;
  // New handles go on from the highest kept, so none is given twice.
  next_ = std::max(next_, n.handle + 4);
  entries_.push_back(n);
  if (IsTimed(n.type)) Schedule(dev, n);
  return true;
}

void NotificationDatabase::Schedule(Device& dev, const UserNotification& n) {
  // A moment already past fires at once, as the device's alarm would.
  int64_t due = dev.clock().TickOfLocal(n.start);
  uint64_t at = due > 0 ? std::max(static_cast<uint64_t>(due), dev.Now()) : dev.Now();
  dev.At(at, [this, &dev, handle = n.handle, gen = n.generation] { Fire(dev, handle, gen); });
}

void NotificationDatabase::Reschedule(Device& dev) {
  for (UserNotification& n : entries_) {
    if (!IsTimed(n.type)) continue;
    n.generation = nextGeneration_++;  // the firing scheduled before finds itself stale
    Schedule(dev, n);
  }
}

void NotificationDatabase::Fire(Device& dev, HANDLE handle, uint64_t generation) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const UserNotification& e) {
    return e.handle == handle && e.generation == generation;
  });
  if (it == entries_.end()) return;
  UserNotification n = std::move(*it);
  entries_.erase(it);
  dev.Note(Describe("fired", n));
  PowerManager& power = PowerManager::Of(dev);
  if (power.state == u"suspend") power.Transition(dev, u"resuming", POWER_STATE_ON);
  std::u16string name = NamedEventOf(n.application);
  if (name.empty()) {
    dev.Note("notification starts no program here: " + U8(n.application));
    return;
  }
  // The event is set whether or not anyone holds it; nobody holding it, nothing happens.
  if (auto ev = dev.handles().FindNamedEvent(name)) ev->signaled = true;
}

bool NotificationDatabase::Clear(Device& dev, HANDLE handle) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const UserNotification& e) { return e.handle == handle; });
  if (it == entries_.end()) return false;
  dev.Note(Describe("cleared", *it));
  entries_.erase(it);
  return true;
}

const UserNotification* NotificationDatabase::Find(HANDLE handle) const {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const UserNotification& e) { return e.handle == handle; });
  return it == entries_.end() ? nullptr : &*it;
}

}  // namespace sim
