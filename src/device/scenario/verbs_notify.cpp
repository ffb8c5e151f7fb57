// Verbs of the notification database and the LED driver: other programs' timed notifications,
// which ones are registered, and whether the vibration motor ran.
#include <string>

#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/device_clock.h"
#include "platform/wstr.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using platform::U16;
using platform::U8;
using sim::TraceEvent;
using Role = ModelStep::Role;

// A state of the database now, not an ordered match.
struct ExpectNotification : ModelStep {
  std::string text;
  bool wanted = true;
  ExpectNotification(std::string t, bool w) : text(std::move(t)), wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    std::string registered;
    int matches = 0;
    for (const auto& n : ctx.dev.notifications().Entries()) {
      if (n.type == CNT_EVENT) continue;  // not a timed one
      std::string app = U8(n.application);
      registered += "\n  " + app;
      if (app.find(text) != std::string::npos) ++matches;
    }
    if ((matches > 0) == wanted) return {};
    if (registered.empty()) registered = " none";
    return Fail(std::string(wanted ? "no" : "a") + " timed notification whose application " +
                "contains \"" + text + "\" is registered; registered:" + registered);
  }
};

// Another program registers a timed notification carrying a text for its dialog, as a calendar
// or an alarm clock does.
struct NotificationAdd : ModelStep {
  std::string application, text;
  std::optional<SYSTEMTIME> at;  // none: an hour from now
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    std::u16string app = U16(application), dialog = U16(text);
    CE_NOTIFICATION_TRIGGER trigger{};
    trigger.dwSize = sizeof trigger;
    trigger.dwType = CNT_TIME;
    trigger.lpszApplication = app.data();
    constexpr uint64_t kHourMs = 3600000;
    trigger.stStartTime =
        at ? *at : sim::SystemTimeOf(ctx.dev.clock().LocalAt(ctx.dev.Now() + kHourMs));
    trigger.stStartTime.wMilliseconds = 0;
    CE_USER_NOTIFICATION user{};
    user.pwszDialogText = dialog.data();
    DWORD error = 0;
    if (!ctx.dev.notifications().Set(ctx.dev, 0, trigger, &user, &error))
      return "the notification database refused it (error " + std::to_string(error) + ")";
    return std::nullopt;
  }
};

struct ExpectNotificationCount : ModelStep {
  uint32_t count = 0;
  explicit ExpectNotificationCount(uint32_t n) : count(n) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    const auto& entries = ctx.dev.notifications().Entries();
    if (entries.size() == count) return {};
    std::string held = "the notification database holds " + std::to_string(entries.size());
    for (const auto& n : entries) held += "\n  " + U8(n.application) + " (" + U8(n.owner) + ")";
    return Fail(held);
  }
};

bool IsVibrationOn(const TraceEvent& e) {
  return e.kind == sim::TraceKind::Note && e.text.starts_with("vibration on");
}

bool IsLedNote(const TraceEvent& e) {
  return e.kind == sim::TraceKind::Note &&
         (e.text.starts_with("vibration ") || e.text.starts_with("led "));
}

struct ExpectVibrated : ModelStep {
  bool wanted = true;
  explicit ExpectVibrated(bool w) : wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    if (wanted)
      return detail::FindForward(ctx, &IsVibrationOn, &IsLedNote, "the vibration LED switched on");
    return detail::FindNone(ctx, &IsVibrationOn, "the vibration LED was switched on");
  }
};

Action ParseNotificationAdd(Cursor& c) {
  NotificationAdd n;
  int appCol = c.Column();
  n.application = c.Word("expected the application the notification names");
  if (n.application.empty()) throw Failure{appCol, "expected an application, not an empty text"};
  n.text = c.Word(kText);
  if (c.AtEnd()) return Make<NotificationAdd>(n);
  int col = c.Column();
  if (c.Word("") != "--at") throw Failure{col, "expected --at or the end of the line"};
  int dateCol = c.Column();
  const Token& date = c.Next("expected a date like 2008-06-01 after --at");
  int timeCol = c.Column();
  const Token& time = c.Next("expected a time like 09:30 after the date");
  n.at = ParseDateAndTime(date, dateCol, time, timeCol);
  return Make<NotificationAdd>(n);
}

const VerbEntry kNotifyVerbs[] = {
    {"notification", "add", &ParseNotificationAdd},
    {"expect", "notifications",
     [](Cursor& c) -> Action {
       return Make<ExpectNotificationCount>(c.Number("expected a number of notifications"));
     }},
    {"expect", "notification",
     [](Cursor& c) -> Action { return Make<ExpectNotification>(c.Word(kText), true); }},
    {"expect", "no-notification",
     [](Cursor& c) -> Action { return Make<ExpectNotification>(c.Word(kText), false); }},
    {"expect", "vibrated", [](Cursor&) -> Action { return Make<ExpectVibrated>(true); }},
    {"expect", "no-vibration", [](Cursor&) -> Action { return Make<ExpectVibrated>(false); }},
};

}  // namespace

std::span<const VerbEntry> NotifyVerbs() {
  return kNotifyVerbs;
}

}  // namespace device::parse
