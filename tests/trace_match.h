// Matching the device trace against an expected list of steps, and a daemon fixture that marks
// where in the trace and the debug log a test's own part starts.
//
//   EXPECT_TRUE(InOrder(Since(mark), {Posted("Dorvane2", 32793), TimerSet("Dorvane2", 1049, 500),
//                                     Posted("Vurl", 32841, 1, 0)}));
//
// On a mismatch the message lists the expected steps (which matched, which is missing) and the
// trace events of that stretch, so both sequences can be compared at a glance.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "daemon_fixture.h"
#include "platform/sim/trace.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace trace_match {

// Matches any value of a step's number.
inline constexpr int64_t kAny = INT64_MIN;

enum class What {
  Message,  // posted or sent
  Posted,
  Sent,
  TimerSet,
  TimerKilled,
  Launched,  // cls = executable name, text = command line (nullopt: any)
  Shown,     // a = show command
  Foreground,
  Moved,  // text = part of the rectangle text, "(0,-26)-(0,-26)"
  Style,  // a = the new style value
  MessageBox,
  Exited,  // cls = executable name
  Noted,   // text = part of a device model's note ("power request state=0x00010000")
};

struct Step {
  What what = What::Message;
  std::string cls;    // window class (any case) or executable name; "*" = any
  int64_t id = kAny;  // message number or timer id
  int64_t a = kAny;   // wParam, timer period, show command or style value
  int64_t b = kAny;   // lParam
  std::optional<std::string> text;
};

inline Step Msg(std::string cls, int64_t msg, int64_t wParam = kAny, int64_t lParam = kAny) {
  return {What::Message, std::move(cls), msg, wParam, lParam, {}};
}
inline Step Posted(std::string cls, int64_t msg, int64_t wParam = kAny, int64_t lParam = kAny) {
  return {What::Posted, std::move(cls), msg, wParam, lParam, {}};
}
inline Step Sent(std::string cls, int64_t msg, int64_t wParam = kAny, int64_t lParam = kAny) {
  return {What::Sent, std::move(cls), msg, wParam, lParam, {}};
}
inline Step TimerSet(std::string cls, int64_t id, int64_t period = kAny) {
  return {What::TimerSet, std::move(cls), id, period, kAny, {}};
}
inline Step TimerKilled(std::string cls, int64_t id) {
  return {What::TimerKilled, std::move(cls), id, kAny, kAny, {}};
}
inline Step Launched(std::string exe, std::optional<std::string> args = std::nullopt) {
  return {What::Launched, std::move(exe), kAny, kAny, kAny, std::move(args)};
}
inline Step Shown(std::string cls, int64_t cmd = kAny) {
  return {What::Shown, std::move(cls), kAny, cmd, kAny, {}};
}
inline Step BroughtToFront(std::string cls) {
  return {What::Foreground, std::move(cls), kAny, kAny, kAny, {}};
}
inline Step Moved(std::string cls, std::optional<std::string> rect = std::nullopt) {
  return {What::Moved, std::move(cls), kAny, kAny, kAny, std::move(rect)};
}
inline Step StyleSet(std::string cls, int64_t value) {
  return {What::Style, std::move(cls), kAny, value, kAny, {}};
}
inline Step MessageBoxShown(std::string cls, std::optional<std::string> text = std::nullopt) {
  return {What::MessageBox, std::move(cls), kAny, kAny, kAny, std::move(text)};
}
inline Step Exited(std::string exe) {
  return {What::Exited, std::move(exe), kAny, kAny, kAny, {}};
}

inline Step Noted(std::string part) {
  return {What::Noted, "*", kAny, kAny, kAny, std::move(part)};
}

namespace detail {

inline bool SameName(const std::string& want, const std::string& got) {
  if (want == "*") return true;
  return want.size() == got.size() &&
         std::equal(want.begin(), want.end(), got.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}
inline bool Num(int64_t want, int64_t got) {
  return want == kAny || want == got;
}
// Parameters are 32-bit; -1 stands for 0xFFFFFFFF as well.
inline bool Param(int64_t want, uint32_t got) {
  return want == kAny || static_cast<uint32_t>(want) == got;
}

inline std::string Show(int64_t v) {
  return v == kAny ? "*" : std::to_string(v);
}

}  // namespace detail

inline bool Matches(const Step& s, const sim::TraceEvent& e) {
  using detail::Num;
  using detail::Param;
  using detail::SameName;
  using sim::TraceKind;
  switch (s.what) {
    case What::Message:
    case What::Posted:
    case What::Sent:
      if (s.what == What::Message && e.kind != TraceKind::Post && e.kind != TraceKind::Send)
        return false;
      if (s.what == What::Posted && e.kind != TraceKind::Post) return false;
      if (s.what == What::Sent && e.kind != TraceKind::Send) return false;
      return SameName(s.cls, e.cls) && Num(s.id, e.msg) && Param(s.a, e.wParam) &&
             Param(s.b, static_cast<uint32_t>(e.lParam));
    case What::TimerSet:
      return e.kind == TraceKind::SetTimer && SameName(s.cls, e.cls) && Num(s.id, e.msg) &&
             Num(s.a, e.value);
    case What::TimerKilled:
      return e.kind == TraceKind::KillTimer && SameName(s.cls, e.cls) && Num(s.id, e.msg);
    case What::Launched: {
      if (e.kind != TraceKind::Launch) return false;
      size_t blank = e.text.find(' ');
      std::string exe = e.text.substr(0, blank);
      std::string args = blank == std::string::npos ? "" : e.text.substr(blank + 1);
      return SameName(s.cls, exe) && (!s.text || *s.text == args);
    }
    case What::Shown:
      return e.kind == TraceKind::Show && SameName(s.cls, e.cls) && Num(s.a, e.value);
    case What::Foreground:
      return e.kind == TraceKind::Foreground && SameName(s.cls, e.cls);
    case What::Moved:
      return e.kind == TraceKind::Position && SameName(s.cls, e.cls) &&
             (!s.text || e.text.find(*s.text) != std::string::npos);
    case What::Style:
      return e.kind == TraceKind::Style && SameName(s.cls, e.cls) && Num(s.a, e.value);
    case What::MessageBox:
      return e.kind == TraceKind::MessageBox && !e.text.empty() && SameName(s.cls, e.cls) &&
             (!s.text || *s.text == e.text);
    case What::Exited:
      return e.kind == TraceKind::Exit && SameName(s.cls, e.actor);
    case What::Noted:
      return e.kind == TraceKind::Note && e.text.find(s.text.value_or("")) != std::string::npos;
  }
  return false;
}

inline std::string Describe(const Step& s) {
  using detail::Show;
  switch (s.what) {
    case What::Message:
    case What::Posted:
    case What::Sent: {
      const char* verb = s.what == What::Posted ? "post" : s.what == What::Sent ? "send" : "msg";
      return std::string(verb) + " -> " + s.cls + " " + Show(s.id) + " wParam=" + Show(s.a) +
             " lParam=" + Show(s.b);
    }
    case What::TimerSet:
      return "timer " + s.cls + " id=" + Show(s.id) + " " + Show(s.a) + "ms";
    case What::TimerKilled:
      return "kill-timer " + s.cls + " id=" + Show(s.id);
    case What::Launched:
      return "launch " + s.cls + (s.text ? " \"" + *s.text + "\"" : " *");
    case What::Shown:
      return "show " + s.cls + " cmd=" + Show(s.a);
    case What::Foreground:
      return "foreground " + s.cls;
    case What::Moved:
      return "position " + s.cls + " " + s.text.value_or("*");
    case What::Style:
      return "style " + s.cls + " " + Show(s.a);
    case What::MessageBox:
      return "message-box " + s.cls + (s.text ? " \"" + *s.text + "\"" : "");
    case What::Exited:
      return "exit " + s.cls;
    case What::Noted:
      return "note \"" + s.text.value_or("") + "\"";
  }
  return "?";
}

using Events = sim::TraceView;

namespace detail {

// Registry and file events are left out of the listing: they drown the window traffic.
template <class Range>
std::string Listing(const Range& events) {
  std::ostringstream out;
  size_t shown = 0;
  for (const auto& e : events) {
    if (e.kind == sim::TraceKind::Registry || e.kind == sim::TraceKind::File ||
        !sim::Trace::Printed(e.kind))
      continue;
    if (++shown > 80) {
      out << "    ...\n";
      break;
    }
    out << "    " << sim::Trace::Render(e) << "\n";
  }
  if (shown == 0) out << "    (nothing)\n";
  return out.str();
}

inline std::string Expected(const std::vector<Step>& steps, size_t matched) {
  std::ostringstream out;
  for (size_t i = 0; i < steps.size(); ++i)
    out << (i < matched    ? "    ok       "
            : i == matched ? "    MISSING  "
                           : "             ")
        << Describe(steps[i]) << "\n";
  return out.str();
}

}  // namespace detail

// The steps occur in this order; other events may come between them.
inline ::testing::AssertionResult InOrder(Events events, const std::vector<Step>& steps) {
  size_t next = 0;
  for (const auto& e : events)
    if (next < steps.size() && Matches(steps[next], e)) ++next;
  if (next == steps.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected, in order:\n"
                                       << detail::Expected(steps, next) << "  trace:\n"
                                       << detail::Listing(events);
}

// The events that match `filter` are exactly `steps`, in this order.
inline ::testing::AssertionResult Exactly(Events events, const Step& filter,
                                          const std::vector<Step>& steps) {
  std::vector<sim::TraceEvent> picked;
  for (const auto& e : events)
    if (Matches(filter, e)) picked.push_back(e);
  size_t same = 0;
  while (same < steps.size() && same < picked.size() && Matches(steps[same], picked[same])) ++same;
  if (same == steps.size() && same == picked.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "expected exactly these (" << Describe(filter) << "):\n"
                                       << detail::Expected(steps, same) << "  got:\n"
                                       << detail::Listing(picked) << "  whole trace:\n"
                                       << detail::Listing(events);
}

// How many events match the step.
inline size_t Count(Events events, const Step& step) {
  return static_cast<size_t>(
      std::count_if(events.begin(), events.end(), [&](const auto& e) { return Matches(step, e); }));
}

// No event matches the step.
inline ::testing::AssertionResult NoneOf(Events events, const Step& step) {
  for (const auto& e : events)
    if (Matches(step, e))
      return ::testing::AssertionFailure()
             << "unexpected " << sim::Trace::Render(e) << "\n  trace:\n"
             << detail::Listing(events);
  return ::testing::AssertionSuccess();
}

// A daemon started on a device two minutes after boot (past the boot-time rules), with the
// settings store present so that no first-run notice waits for the user.
class TracedDaemonTest : public DaemonTest {
 protected:
  static constexpr char16_t kStore[] = u"HKCU\\Software\\Zeq\\Vurl";

  TracedDaemonTest() {
    dev.SetBootTick(120000);
    dev.registry().CreateKey(kStore);
    SetFlag(u"DebugOn", 1);
  }

  void SetFlag(std::u16string_view name, uint8_t value) {
    dev.registry().SetValue(kStore, name, REG_BINARY, {value});
  }
  void SetDword(std::u16string_view key, std::u16string_view name, uint32_t value) {
    dev.registry().CreateKey(key);
    dev.registry().SetValue(key, name, REG_DWORD,
                            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)});
  }

  // Starts the daemon and lets its start-up timers run out; the slide screen runs hidden.
  void Boot() {
    daemon = StartDaemon();
    ASSERT_NE(daemon, nullptr);
    ASSERT_TRUE(dev.RunFor(1500)) << dev.Failure();
    ASSERT_NE(DaemonWindow(), 0u);
  }

  HWND Window(const char16_t* cls) { return dev.windows().Find(cls, nullptr); }
  HWND DaemonWindow() { return dev.windows().Find(u"Dorvane2", u"Dorvane2"); }
  HWND SlideWindow() { return dev.windows().Find(u"Vurl", u"Vurl"); }
  HWND ForegroundWindow() { return dev.windows().Foreground(); }

  // Trace and log positions: the events and lines after a mark belong to what came next.
  struct Mark {
    size_t trace;
    size_t log;
  };
  Mark Here() { return {dev.trace().Events().size(), LogLines().size()}; }
  Events Since(const Mark& m) { return dev.trace().Events().subspan(m.trace); }
  // The text of the log lines written since the mark (time stamps dropped).
  std::vector<std::string> LogSince(const Mark& m) {
    std::vector<std::string> out;
    auto lines = LogLines();
    for (size_t i = m.log; i < lines.size(); ++i) {
      std::u16string text = lines[i];
      size_t tab = text.find(u'\t');
      out.push_back(platform::U8(tab == std::u16string::npos ? text : text.substr(tab + 1)));
    }
    return out;
  }
  bool Logged(const Mark& m, const std::string& text) {
    auto lines = LogSince(m);
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  // Another program posts to the daemon window; runs until the device is idle again.
  void Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    ASSERT_TRUE(PostMessageW(DaemonWindow(), msg, wParam, lParam));
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
    LRESULT r = SendMessageW(DaemonWindow(), msg, wParam, lParam);
    EXPECT_TRUE(dev.RunUntilIdle()) << dev.Failure();
    return r;
  }
  // Runs `fn` on the daemon's main thread, where its own state and functions live.
  void InDaemon(std::function<void()> fn) {
    ASSERT_TRUE(dev.RunInProcess(daemon, std::move(fn))) << dev.Failure();
  }
  void Wait(uint64_t ms) { ASSERT_TRUE(dev.RunFor(ms)) << dev.Failure(); }

  // Starts an inert program: one visible window whose class is the name without ".exe".
  HWND StartInert(const std::u16string& name) {
    std::u16string path = u"\\Windows\\" + name + u".exe";
    dev.files().AddFile(path);
    EXPECT_NE(dev.Launch(path, u"", 5), nullptr);
    EXPECT_TRUE(dev.RunUntilIdle()) << dev.Failure();
    return dev.windows().Find(name.c_str(), nullptr);
  }

  sim::Process* daemon = nullptr;
};

}  // namespace trace_match
