// Verbs that observe any part of the device or make its platform calls fail: the trace,
// process exits, files, subclassing, the fault switch, and device facts (OS version, LEDs).
#include <array>

#include "device/scenario/expect.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using platform::IEquals;
using platform::U16;
using platform::U8;
using sim::TraceEvent;
using Role = ModelStep::Role;

// --- The trace --------------------------------------------------------------------------------

struct ExpectTrace : ModelStep {
  std::string text;
  bool wanted = true;
  ExpectTrace(std::string t, bool w) : text(std::move(t)), wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    auto contains = [this](const TraceEvent& e) {
      return sim::Trace::Printed(e.kind) &&
             sim::Trace::RenderBody(e).find(text) != std::string::npos;
    };
    if (wanted)
      return detail::FindForward(
          ctx, contains, [](const TraceEvent&) { return false; },
          "trace line containing \"" + text + "\"");
    return detail::FindNone(ctx, contains, "a trace line contains \"" + text + "\"");
  }
};

// --- Processes and files ----------------------------------------------------------------------

struct ExpectExit : ModelStep {
  std::string program;
  uint32_t code = 0;
  ExpectExit(std::string p, uint32_t c) : program(std::move(p)), code(c) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    std::u16string exe = detail::ProgramExe(program, ctx.daemonPath);
    std::optional<DWORD> ended = ctx.dev.LastExitCode(exe);
    if (!ended) return Fail("no process of " + U8(exe) + " has ended");
    if (*ended == code) return {};
    return Fail(U8(exe) + " ended with exit code " + std::to_string(*ended));
  }
};

struct ExpectFile : ModelStep {
  std::string path;
  bool wanted = true;
  ExpectFile(std::string p, bool w) : path(std::move(p)), wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    bool exists = ctx.dev.files().Exists(U16(path));
    if (exists == wanted) return {};
    return Fail(exists ? "the file exists" : "there is no such file");
  }
};

// --- Windows ----------------------------------------------------------------------------------

struct ExpectSubclassed : ModelStep {
  std::string windowClass;
  bool wanted = true;
  ExpectSubclassed(std::string c, bool w) : windowClass(std::move(c)), wanted(w) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    auto& windows = ctx.dev.windows();
    std::u16string cls = U16(windowClass);
    const sim::Window* w = windows.Get(windows.Find(cls.c_str(), nullptr));
    if (!w) return Fail("there is no top-level window of class " + windowClass);
    bool subclassed = w->subclassedBy != nullptr;
    if (subclassed == wanted) return {};
    return Fail(subclassed ? "its procedure is replaced by " + U8(w->subclassedBy->exeName)
                           : "it runs its own procedure");
  }
};

// --- Faults and device facts ------------------------------------------------------------------

struct FailStep : ModelStep {
  std::string function;
  std::optional<uint32_t> result;
  uint32_t count = 1;
  FailStep(std::string f, std::optional<uint32_t> r, uint32_t c)
      : function(std::move(f)), result(r), count(c) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.faults().Arm(function, result, count);
    return std::nullopt;
  }
};

struct DeviceOs : ModelStep {
  uint32_t major = 5;
  explicit DeviceOs(uint32_t m) : major(m) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    if (ctx.daemonStarted) return "device os must come before the daemon starts";
    ctx.dev.config().osMajor = major;
    return std::nullopt;
  }
};

struct DeviceLeds : ModelStep {
  uint32_t count = 2;
  explicit DeviceLeds(uint32_t n) : count(n) {}
  Role role() const override { return Role::Setup; }
  std::optional<std::string> Play(ExpectContext& ctx) const override {
    ctx.dev.config().leds = count;
    return std::nullopt;
  }
};

// RESULT: a number (negative allowed, as error codes of some interfaces are) or a known name.
uint32_t ReadResult(Cursor& c) {
  int col = c.Column();
  const Token& t = c.Next("expected a result");
  if (auto named = sim::FaultResultByName(t.text)) return *named;
  if (!LooksNumeric(t.text))
    throw Failure{
        col, "expected a result (a number or a name like E_FAIL), not '" + Excerpt(t.text) + "'"};
  return ParseNumber(t, col, true);
}

Action ParseFail(Cursor& c) {
  int col = c.Column();
  std::string function = c.Word(
      "expected a platform function like CreateProcessW or a COM method like "
      "IPOutlookApp::Logon");
  if (!sim::FindFaultFunction(function)) {
    bool method = function.find("::") != std::string::npos;
    throw Failure{col,
                  std::string(method ? "unknown COM method '" : "unknown platform function '") +
                      Excerpt(function) + "' (no fault can be set on it)"};
  }
  std::optional<uint32_t> result;
  uint32_t count = 1;
  if (!c.AtEnd() && c.Peek().text != "always") result = ReadResult(c);
  if (!c.AtEnd()) {
    int countCol = c.Column();
    if (c.Peek().text == "always") {
      c.Next("");
      count = sim::Faults::kAlways;
    } else {
      count = c.Number("expected a count or always");
      if (count == 0 || count == sim::Faults::kAlways)
        throw Failure{countCol, "expected a count from 1 (or always)"};
    }
  }
  return Make<FailStep>(function, result, count);
}

const VerbEntry kObservationVerbs[] = {
    {"expect", "trace", [](Cursor& c) -> Action { return Make<ExpectTrace>(c.Word(kText), true); }},
    {"expect", "no-trace",
     [](Cursor& c) -> Action { return Make<ExpectTrace>(c.Word(kText), false); }},
    {"expect", "exit",
     [](Cursor& c) -> Action {
       std::string program = c.Word(kProgram);
       return Make<ExpectExit>(program, c.Number("expected an exit code", true));
     }},
    {"expect", "file", [](Cursor& c) -> Action { return Make<ExpectFile>(c.Word(kPath), true); }},
    {"expect", "no-file",
     [](Cursor& c) -> Action { return Make<ExpectFile>(c.Word(kPath), false); }},
    {"expect", "subclassed",
     [](Cursor& c) -> Action { return Make<ExpectSubclassed>(c.Word(kClass), true); }},
    {"expect", "not-subclassed",
     [](Cursor& c) -> Action { return Make<ExpectSubclassed>(c.Word(kClass), false); }},
    {"fail", "", &ParseFail},
    {"device", "os",
     [](Cursor& c) -> Action { return Make<DeviceOs>(c.Number("expected a major version")); }},
    {"device", "leds",
     [](Cursor& c) -> Action { return Make<DeviceLeds>(c.Number("expected a number of LEDs")); }},
};

}  // namespace

std::span<const VerbEntry> ObservationVerbs() {
  return kObservationVerbs;
}

}  // namespace device::parse
