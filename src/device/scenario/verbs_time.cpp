// Verbs of the device clock: the time zone the phone shows local time in, with its daylight
// saving, and the user setting the clock while programs run.
#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/device_clock.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using Role = ModelStep::Role;

struct DeviceTimeZone : ModelStep {
  sim::TimeZone zone;
  explicit DeviceTimeZone(sim::TimeZone z) : zone(z) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Admit(ScenarioFacts& facts) const override {
    if (facts.booted || facts.eventSeen)
      return "device timezone must come before boot and before any event";
    return std::nullopt;
  }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.clock().SetZone(zone);
    ctx.dev.notifications().Reschedule(ctx.dev);  // those a kept device had: by local time
    return std::nullopt;
  }
};

struct ClockSet : ModelStep {
  SYSTEMTIME local{};
  explicit ClockSet(const SYSTEMTIME& t) : local(t) {}
  Role role() const override { return Role::Event; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    sim::SetLocalTimeByUser(ctx.dev, local);
    return std::nullopt;
  }
};

constexpr const char* kOffsetHelp = "expected an offset from UTC like +01:00 or -05:00";

// +HH:MM or -HH:MM, as the zones of the world have them: -12:00 to +14:00.
LONG ReadOffset(Cursor& c) {
  int col = c.Column();
  const Token& t = c.Next(kOffsetHelp);
  const std::string& s = t.text;
  if (s.size() != 6 || (s[0] != '+' && s[0] != '-') || s[3] != ':' || !IsDigit(s[1]) ||
      !IsDigit(s[2]) || !IsDigit(s[4]) || !IsDigit(s[5]))
    throw Failure{col, kOffsetHelp};
  int hours = (s[1] - '0') * 10 + (s[2] - '0');
  int minutes = (s[4] - '0') * 10 + (s[5] - '0');
  int offset = (hours * 60 + minutes) * (s[0] == '-' ? -1 : 1);
  if (minutes > 59 || offset < -12 * 60 || offset > 14 * 60)
    throw Failure{col, "no such offset: " + s + " (zones run from -12:00 to +14:00)"};
  return -offset;  // the platform counts the other way: UTC = local + bias
}

// YYYY-MM-DDTHH:MM: a moment of local time; only its date and time of day are kept, as daylight
// saving comes back on the same dates every year.
sim::YearMoment ReadYearMoment(Cursor& c, const char* which) {
  const std::string help =
      std::string("expected the moment daylight saving ") + which + ", like 2008-03-30T02:00";
  int col = c.Column();
  const Token& t = c.Next(help);
  if (t.text.size() != 16 || t.text[10] != 'T') throw Failure{col, help};
  Token date{t.text.substr(0, 10), t.begin, t.begin + 10};
  Token time{t.text.substr(11), t.begin + 11, t.end};
  // The date is plain ASCII once it parsed, so the time starts 11 columns on.
  SYSTEMTIME st = ParseDateAndTime(date, col, time, col + 11);
  if (st.wMonth == 2 && st.wDay == 29)
    throw Failure{col, "daylight saving cannot change on 29 February: not every year has one"};
  return sim::YearMoment{st.wMonth, st.wDay, st.wHour, st.wMinute};
}

bool Same(const sim::YearMoment& a, const sim::YearMoment& b) {
  return a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute;
}

Action ParseTimeZone(Cursor& c) {
  sim::TimeZone zone;
  zone.bias = ReadOffset(c);
  if (c.AtEnd()) return Make<DeviceTimeZone>(zone);
  int col = c.Column();
  if (c.Word("") != "--dst") throw Failure{col, "expected --dst or the end of the line"};
  zone.daylight = true;
  zone.daylightStart = ReadYearMoment(c, "starts");
  int endCol = c.Column();
  zone.daylightEnd = ReadYearMoment(c, "ends");
  if (Same(zone.daylightStart, zone.daylightEnd))
    throw Failure{endCol, "daylight saving must end at another date and time than it starts"};
  return Make<DeviceTimeZone>(zone);
}

Action ParseClockSet(Cursor& c) {
  int dateCol = c.Column();
  const Token& date = c.Next("expected a date like 2008-06-01");
  int timeCol = c.Column();
  const Token& time = c.Next("expected a time like 09:30 or 09:30:15");
  return Make<ClockSet>(ParseDateAndTime(date, dateCol, time, timeCol));
}

const VerbEntry kTimeVerbs[] = {
    {"device", "timezone", &ParseTimeZone},
    {"clock", "set", &ParseClockSet},
};

}  // namespace

std::span<const VerbEntry> TimeVerbs() {
  return kTimeVerbs;
}

}  // namespace device::parse
