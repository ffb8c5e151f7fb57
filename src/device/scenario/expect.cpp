// The expectations of a scenario, checked against the device as it is between two steps.
#include "device/scenario/expect.h"

#include <cstdio>
#include <functional>

#include "platform/wstr.h"

namespace device::detail {

using platform::IEquals;
using platform::U16;
using platform::U8;
using sim::TraceEvent;
using sim::TraceKind;

namespace {

// How many near misses a failed message or launch expectation lists.
constexpr size_t kNearMisses = 5;

// --- Ordered trace expectations --------------------------------------------------------------

std::string Since(const ExpectContext& ctx) {
  if (ctx.cursor == 0) return "since the start of the run";
  return "after the previous match at " +
         sim::Trace::FormatTime(ctx.dev.trace().Events()[ctx.cursor - 1].time);
}

// Lists the events from the cursor on that `related` accepts: what came close.
std::string NearMisses(const ExpectContext& ctx, const EventMatch& related, std::string title) {
  const auto& events = ctx.dev.trace().Events();
  std::vector<std::string> seen;
  for (size_t i = ctx.cursor; i < events.size(); ++i)
    if (related(events[i])) seen.push_back(sim::Trace::Render(events[i]));
  if (seen.empty()) return {};
  std::string out = "\n" + title + ":";
  size_t from = seen.size() > kNearMisses ? seen.size() - kNearMisses : 0;
  for (size_t i = from; i < seen.size(); ++i) out += "\n  " + seen[i];
  return out;
}

}  // namespace

Verdict Fail(std::string reason) {
  return {false, std::move(reason)};
}

Verdict FindForward(ExpectContext& ctx, const EventMatch& match, const EventMatch& related,
                    const std::string& what) {
  const auto& events = ctx.dev.trace().Events();
  for (size_t i = ctx.cursor; i < events.size(); ++i) {
    if (!match(events[i])) continue;
    ctx.cursor = i + 1;
    return {};
  }
  return Fail("no " + what + " " + Since(ctx) +
              NearMisses(ctx, related, "similar events in that stretch"));
}

// No match from the cursor to now; the cursor stays.
Verdict FindNone(const ExpectContext& ctx, const EventMatch& match, const std::string& what) {
  const auto& events = ctx.dev.trace().Events();
  for (size_t i = ctx.cursor; i < events.size(); ++i)
    if (match(events[i]))
      return Fail(what + " " + Since(ctx) + ":\n  " + sim::Trace::Render(events[i]));
  return {};
}

namespace {

bool IsMessage(const TraceEvent& e) {
  return e.kind == TraceKind::Post || e.kind == TraceKind::Send;
}

bool SameClass(const std::string& wanted, const std::string& cls) {
  return wanted == "*" || IEquals(U16(wanted), U16(cls));
}

EventMatch TimerOn(const std::string& cls, uint32_t id, std::optional<uint32_t> period) {
  return [cls, id, period](const TraceEvent& e) {
    return e.kind == TraceKind::SetTimer && SameClass(cls, e.cls) && e.msg == id &&
           (!period || e.value == *period);
  };
}

EventMatch AnyTimerOn(const std::string& cls) {
  return
      [cls](const TraceEvent& e) { return e.kind == TraceKind::SetTimer && SameClass(cls, e.cls); };
}

bool ParamIs(const MsgParam& p, uint32_t value, uint64_t time, const sim::WindowManager& windows) {
  switch (p.kind) {
    case MsgParam::Kind::Any:
      return true;
    case MsgParam::Kind::WindowOf:
      return windows.WasOfClass(value, U16(p.windowClass), time);
    case MsgParam::Kind::Value:
      break;
  }
  return p.value == value;
}

EventMatch MessageTo(const verb::Message& m, const sim::WindowManager& windows) {
  return
      [m, &windows](const TraceEvent& e) { return IsMessage(e) && CarriesMessage(m, e, windows); };
}

EventMatch AnyMessageTo(const std::string& cls) {
  return [cls](const TraceEvent& e) { return IsMessage(e) && SameClass(cls, e.cls); };
}

// A Launch event's text is "exe" or "exe args"; `args` empty means any.
EventMatch LaunchOf(const std::u16string& exe, std::optional<std::string> args) {
  return [exe, args](const TraceEvent& e) {
    if (e.kind != TraceKind::Launch) return false;
    std::u16string text = U16(e.text);
    if (text.size() < exe.size() || !IEquals(text.substr(0, exe.size()), exe)) return false;
    if (text.size() > exe.size() && text[exe.size()] != u' ') return false;
    if (!args) return true;
    return text.size() > exe.size() ? U8(text.substr(exe.size() + 1)) == *args : args->empty();
  };
}

EventMatch AnyLaunch() {
  return [](const TraceEvent& e) { return e.kind == TraceKind::Launch; };
}

// --- Registry --------------------------------------------------------------------------------

// A text value's characters up to the first NUL or its stored length.
std::u16string SzText(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

bool DataMatches(const RegData& want, const sim::RegValue& have) {
  switch (want.type) {
    case RegData::Type::Dword: {
      DWORD type = REG_NONE;
      return have.type == REG_DWORD && have.bytes == RegBytes(want, &type);
    }
    case RegData::Type::Binary:
      return have.type == REG_BINARY && have.bytes == want.bytes;
    case RegData::Type::Sz:
      return have.type == REG_SZ && SzText(have.bytes) == U16(want.text);
  }
  return false;
}

Verdict CheckReg(const verb::ExpectReg& v, const sim::Registry& reg) {
  auto value = reg.GetValue(U16(v.key), U16(v.name));
  if (!value)
    return Fail(reg.KeyExists(U16(v.key)) ? "the key has no value \"" + v.name + "\""
                                          : "the key does not exist");
  if (!DataMatches(v.data, *value)) return Fail("the value is " + DescribeValue(*value));
  return {};
}

Verdict CheckNoReg(const verb::ExpectNoReg& v, const sim::Registry& reg) {
  if (!v.name) return reg.KeyExists(U16(v.key)) ? Fail("the key exists") : Verdict{};
  auto value = reg.GetValue(U16(v.key), U16(*v.name));
  return value ? Fail("the value exists: " + DescribeValue(*value)) : Verdict{};
}

// --- The debug log ---------------------------------------------------------------------------

// The log's lines, decoded from UTF-16LE (with or without its byte order mark).
std::optional<std::vector<std::u16string>> LogLines(const sim::FileSystem& files,
                                                    const std::u16string& path) {
  auto bytes = files.ReadAll(path);
  if (!bytes) return std::nullopt;
  size_t start = bytes->starts_with("\xFF\xFE") ? 2 : 0;
  std::vector<std::u16string> lines(1);
  for (size_t i = start; i + 1 < bytes->size(); i += 2) {
    char16_t c = static_cast<char16_t>(static_cast<uint8_t>((*bytes)[i]) |
                                       static_cast<uint8_t>((*bytes)[i + 1]) << 8);
    if (c == u'\n') {
      if (!lines.back().empty() && lines.back().back() == u'\r') lines.back().pop_back();
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

Verdict CheckLog(const std::string& text, bool wanted, const ExpectContext& ctx) {
  std::u16string path = LogPath(ctx.daemonPath);
  auto lines = LogLines(ctx.dev.files(), path);
  if (!lines) return wanted ? Fail("there is no debug log at " + U8(path)) : Verdict{};
  std::u16string needle = U16(text);
  for (size_t i = 0; i < lines->size(); ++i) {
    if ((*lines)[i].find(needle) == std::u16string::npos) continue;
    if (wanted) return {};
    return Fail("line " + std::to_string(i + 1) + " of " + U8(path) + ": " + U8((*lines)[i]));
  }
  if (!wanted) return {};
  return Fail("none of the " + std::to_string(lines->size()) + " lines of " + U8(path) +
              " contains it");
}

// --- Windows and processes -------------------------------------------------------------------

std::string Describe(const sim::Window& w) {
  return U8(w.cls) + " \"" + U8(w.title) + "\" (" + (w.visible ? "visible" : "hidden") + ")";
}

Verdict CheckWindow(const verb::ExpectWindow& v, const sim::WindowManager& windows) {
  std::u16string cls = U16(v.windowClass);
  std::u16string title = v.title ? U16(*v.title) : u"";
  const sim::Window* w = windows.Get(windows.Find(cls.c_str(), v.title ? title.c_str() : nullptr));
  std::string none = "there is no top-level window of class " + v.windowClass +
                     (v.title ? " titled \"" + *v.title + "\"" : "");
  switch (v.state) {
    case verb::WindowState::Visible:
      return !w ? Fail(none) : w->visible ? Verdict{} : Fail("it is hidden");
    case verb::WindowState::Hidden:
      return !w ? Fail(none) : !w->visible ? Verdict{} : Fail("it is visible");
    case verb::WindowState::Absent:
      return w ? Fail("there is one: " + Describe(*w)) : Verdict{};
    case verb::WindowState::Foreground: {
      const sim::Window* front = windows.Get(windows.Foreground());
      if (front && IEquals(front->cls, cls) && (!v.title || front->title == title)) return {};
      return Fail(front ? "the foreground window is " + Describe(*front)
                        : "no window is in the foreground");
    }
  }
  return {};
}

Verdict CheckRunning(const std::string& program, bool wanted, const ExpectContext& ctx) {
  std::u16string exe = ProgramExe(program, ctx.daemonPath);
  bool running = ctx.dev.FindProcess(exe) != nullptr;
  if (running == wanted) return {};
  return Fail(running ? "a process of " + U8(exe) + " is running"
                      : "no process of " + U8(exe) + " is running");
}

}  // namespace

bool CarriesMessage(const verb::Message& m, const TraceEvent& e,
                    const sim::WindowManager& windows) {
  return SameClass(m.windowClass, e.cls) && ParamIs(m.msg, e.msg, e.time, windows) &&
         ParamIs(m.wParam, e.wParam, e.time, windows) &&
         ParamIs(m.lParam, static_cast<uint32_t>(e.lParam), e.time, windows);
}

bool IsExpectation(const Action& a) {
  if (auto* m = std::get_if<verb::Model>(&a))
    return m->step->role() == ModelStep::Role::Expectation;
  return std::visit(
      [](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        return std::is_same_v<T, verb::ExpectPosted> || std::is_same_v<T, verb::ExpectNoPost> ||
               std::is_same_v<T, verb::ExpectReg> || std::is_same_v<T, verb::ExpectNoReg> ||
               std::is_same_v<T, verb::ExpectLog> || std::is_same_v<T, verb::ExpectNoLog> ||
               std::is_same_v<T, verb::ExpectWindow> || std::is_same_v<T, verb::ExpectRunning> ||
               std::is_same_v<T, verb::ExpectNotRunning> ||
               std::is_same_v<T, verb::ExpectLaunched> || std::is_same_v<T, verb::ExpectNoLaunch> ||
               std::is_same_v<T, verb::ExpectTimer> || std::is_same_v<T, verb::ExpectNoTimer>;
      },
      a);
}

Verdict CheckExpectation(const Action& a, ExpectContext& ctx) {
  if (auto* m = std::get_if<verb::Model>(&a)) return m->step->Check(ctx);
  if (auto* v = std::get_if<verb::ExpectPosted>(&a))
    return FindForward(ctx, MessageTo(*v, ctx.dev.windows()), AnyMessageTo(v->windowClass),
                       "such message reached " + v->windowClass);
  if (auto* v = std::get_if<verb::ExpectNoPost>(&a))
    return FindNone(ctx, MessageTo(*v, ctx.dev.windows()), "it reached " + v->windowClass);
  if (auto* v = std::get_if<verb::ExpectLaunched>(&a)) {
    std::u16string exe = ProgramExe(v->program, ctx.daemonPath);
    return FindForward(ctx, LaunchOf(exe, v->args), AnyLaunch(),
                       "launch of " + U8(exe) + (v->args ? " with those arguments" : ""));
  }
  if (auto* v = std::get_if<verb::ExpectNoLaunch>(&a)) {
    std::u16string exe = ProgramExe(v->program, ctx.daemonPath);
    return FindNone(ctx, LaunchOf(exe, std::nullopt), U8(exe) + " was started");
  }
  if (auto* v = std::get_if<verb::ExpectTimer>(&a))
    return FindForward(ctx, TimerOn(v->windowClass, v->id, v->period), AnyTimerOn(v->windowClass),
                       "such timer set on " + v->windowClass);
  if (auto* v = std::get_if<verb::ExpectNoTimer>(&a))
    return FindNone(ctx, TimerOn(v->windowClass, v->id, std::nullopt),
                    "timer " + std::to_string(v->id) + " was set on " + v->windowClass);
  if (auto* v = std::get_if<verb::ExpectReg>(&a)) return CheckReg(*v, ctx.dev.registry());
  if (auto* v = std::get_if<verb::ExpectNoReg>(&a)) return CheckNoReg(*v, ctx.dev.registry());
  if (auto* v = std::get_if<verb::ExpectLog>(&a)) return CheckLog(v->text, true, ctx);
  if (auto* v = std::get_if<verb::ExpectNoLog>(&a)) return CheckLog(v->text, false, ctx);
  if (auto* v = std::get_if<verb::ExpectWindow>(&a)) return CheckWindow(*v, ctx.dev.windows());
  if (auto* v = std::get_if<verb::ExpectRunning>(&a)) return CheckRunning(v->program, true, ctx);
  if (auto* v = std::get_if<verb::ExpectNotRunning>(&a))
    return CheckRunning(v->program, false, ctx);
  return {};
}

}  // namespace device::detail

namespace device {

std::optional<std::string> ModelStep::Play(detail::ExpectContext&) const {
  return std::nullopt;
}

detail::Verdict ModelStep::Check(detail::ExpectContext&) const {
  return {};
}

}  // namespace device

namespace device::detail {

// --- Names and registry data, shared with the runner ----------------------------------------

std::u16string BaseName(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string FolderOf(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? u"" : path.substr(0, slash));
}

std::u16string ProgramExe(std::string_view program, std::u16string_view daemonPath) {
  std::u16string name = BaseName(U16(program));
  if (IEquals(name, u"dorvane2")) return BaseName(daemonPath);
  if (name.find(u'.') == std::u16string::npos) name += u".exe";
  return name;
}

std::u16string LogPath(std::u16string_view daemonPath) {
  return FolderOf(daemonPath) + u"\\Dorvane2.log";
}

std::vector<uint8_t> RegBytes(const RegData& data, DWORD* type) {
  std::vector<uint8_t> bytes;
  switch (data.type) {
    case RegData::Type::Dword:
      *type = REG_DWORD;
      for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<uint8_t>(data.dword >> shift));
      break;
    case RegData::Type::Binary:
      *type = REG_BINARY;
      bytes = data.bytes;
      break;
    case RegData::Type::Sz:
      *type = REG_SZ;
      for (char16_t c : U16(data.text) + u'\0') {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
      }
      break;
  }
  return bytes;
}

std::string DescribeValue(const sim::RegValue& value) {
  char buf[48];
  const auto& b = value.bytes;
  if (value.type == REG_DWORD && b.size() == 4) {
    uint32_t v = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    std::snprintf(buf, sizeof buf, "dword %u (0x%X)", v, v);
    return buf;
  }
  if (value.type == REG_SZ) return "sz \"" + U8(SzText(b)) + "\"";
  std::string out =
      value.type == REG_BINARY ? "binary " : "type " + std::to_string(value.type) + " ";
  for (uint8_t byte : b) {
    std::snprintf(buf, sizeof buf, "%02x", byte);
    out += buf;
  }
  return b.empty() ? out + "(no bytes)" : out;
}

}  // namespace device::detail
