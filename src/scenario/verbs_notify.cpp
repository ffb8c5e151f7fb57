// Verbs of the notification database and the LED driver: which timed notifications are
// registered, and whether the vibration motor ran.
#include <string>

#include "platform/wstr.h"
#include "scenario/expect.h"
#include "scenario/verb_reader.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
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

const VerbEntry kNotifyVerbs[] = {
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
