#include "device/runner/runner.h"

#include <algorithm>
#include <istream>
#include <ostream>
#include <sstream>

#include "core/messages.h"
#include "device/programs/phone_standin.h"
#include "device/programs/programs.h"
#include "device/runner/runner_internal.h"
#include "platform/sim/power_manager.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace device {

// Every trace a program of this project prints names the daemon's messages beside their numbers.
static const bool kNamedMessages =
    (sim::Trace::SetMessageNames([](uint32_t msg) { return core::MessageName(msg); }), true);

using detail::ProgramExe;
using platform::IEquals;
using platform::U16;
using platform::U8;

namespace {

// How many trace lines a failure report shows before the failing line.
constexpr size_t kTraceTail = 6;

bool HasExtension(std::u16string_view path) {
  return detail::BaseName(path).find(u'.') != std::u16string::npos;
}

// The top-level window of a class, front first, as FindWindow gives it.
HWND WindowOfClass(const std::string& cls) {
  std::u16string name = U16(cls);
  return FindWindowW(name.c_str(), nullptr);
}

std::string NoWindow(const std::string& cls) {
  return "there is no top-level window of class " + cls;
}

// The first of the events a failure report shows: the last kTraceTail printed ones, with the
// unprinted ones among them.
size_t TailStart(const sim::Trace& trace) {
  size_t from = trace.size();
  for (size_t shown = 0; from > 0 && shown < kTraceTail; --from)
    if (sim::Trace::Printed(trace.RecordAt(from - 1).kind)) ++shown;
  return from;
}

}  // namespace

Runner::Runner(std::string fileName, RunOptions options, std::ostream& out, std::ostream& err)
    : fileName_(std::move(fileName)),
      options_(std::move(options)),
      out_(out),
      err_(err),
      dev_(std::make_unique<sim::Device>()),
      daemonPath_(kDefaultDaemonPath) {
  InstallPrograms(*dev_);
  if (options_.prepare) options_.prepare(*dev_);
}

Runner::~Runner() {
  // Tearing the device down ends its processes; nobody is listening any more.
  dev_->trace().live = nullptr;
  dev_->trace().enabled = false;
}

bool Runner::Open() {
  if (!options_.stateDir.empty()) {
    // What was stored is the starting point, not something that happens in this run.
    dev_->trace().enabled = false;
    std::string error, notes;
    bool ok = detail::OpenStateFolder(options_.stateDir, &stateLock_, &notes, &error);
    err_ << notes;
    ok = ok && detail::LoadState(*dev_, options_.stateDir, &error);
    dev_->trace().enabled = true;
    if (!ok) {
      err_ << error << '\n';
      return false;
    }
  }
  StartPrinting();
  // The programs that are there from boot (the shell) get their windows up before the
  // first step, so even a first `expect window` sees a booted device.
  if (!dev_->RunUntilIdle()) {
    err_ << "the device failed while starting: " << dev_->Failure() << '\n';
    return false;
  }
  return true;
}

// A run refused at the start prints no trace, so printing starts once the device is set up,
// with what the device did while being built.
void Runner::StartPrinting() {
  printing_ = true;
  if (options_.quiet) return;
  for (const auto& e : dev_->trace().Events())
    if (sim::Trace::Printed(e.kind)) out_ << sim::Trace::Render(e) << '\n';
  dev_->trace().live = [this](const sim::TraceEvent& e) { out_ << sim::Trace::Render(e) << '\n'; };
}

static bool NeedsPhone(const Action& action) {
  auto* m = std::get_if<verb::Model>(&action);
  return m && m->step->needsPhone();
}

bool Runner::Play(const Step& step) {
  line_ = step.line;
  bool ok = PlayStep(step);
  ForgetUnneededTrace();
  return ok;
}

bool Runner::PlayStep(const Step& step) {
  if (!printing_) StartPrinting();
  if (NeedsPhone(step.action)) phoneWanted_ = true;
  if (!installed_ && !IsSetup(step.action)) {
    InstallDaemon(*dev_, daemonPath_);
    installed_ = true;
  }
  if (phoneWanted_ && !phoneStarted_ && !IsSetup(step.action)) {
    phoneStarted_ = true;
    StartPhone(*dev_);
    if (!dev_->RunUntilIdle()) {
      ++failed_;
      deviceFailed_ = true;
      promises_.DeviceFailed(step, *dev_, dev_->Failure());
      ReportFailure(step, "the device failed", dev_->Failure());
      return false;
    }
  }
  if (detail::IsExpectation(step.action)) {
    detail::ExpectContext ctx{*dev_, daemonPath_, cursor_, daemonStarted_, &promises_};
    detail::Verdict v = detail::CheckExpectation(step.action, ctx);
    if (v.held) {
      ++passed_;
    } else {
      ++failed_;
      ReportFailure(step, "expectation failed", v.reason);
    }
    return true;
  }
  if (auto why = Act(step.action)) {
    ++failed_;
    ++stepFailures_;
    ReportFailure(step, "step failed", *why);
  }
  if (!RunDevice(step.action)) {
    ++failed_;
    deviceFailed_ = true;
    promises_.DeviceFailed(step, *dev_, dev_->Failure());
    ReportFailure(step, "the device failed", dev_->Failure());
    return false;
  }
  // Promises are judged on the phone as each step left it.
  if (installed_) promises_.AfterStep(step, *dev_, daemonPath_);
  return true;
}

int Runner::Finish() {
  int status = failed_ > 0 || deviceFailed_ ? kExitFailed : kExitPassed;
  if (stateLock_.held()) {
    std::string error;
    if (!detail::SaveState(*dev_, options_.stateDir, &error)) {
      err_ << "cannot save the device state: " << error << '\n';
      status = kExitBroken;
    }
  }
  if (!options_.timeline.empty()) {
    // The page may go to the same place as the trace (`--timeline /dev/stdout`): after it.
    out_.flush();
    std::string error;
    TimelineRun run{fileName_, dev_->Now(), passed_, failed_, std::move(failures_)};
    if (!WriteTimeline(options_.timeline, dev_->trace(), run, &error)) {
      err_ << error << '\n';
      status = kExitBroken;
    }
  }
  out_ << passed_ << " passed, " << failed_ << " failed\n";
  if (options_.stats) detail::PrintStats(*dev_, out_);
  if (!OutputWritten(out_, err_)) status = kExitBroken;
  return status;
}

// Only `wait` and `settle` move the clock; everything else runs what is runnable right now.
// An event from outside (a call, a message, a key, another program) wakes a suspended phone;
// a power transition says for itself what the phone does.
bool Runner::RunDevice(const Action& action) {
  if (auto* w = std::get_if<verb::Wait>(&action)) return dev_->RunFor(w->ms);
  if (std::holds_alternative<verb::Settle>(action)) return dev_->Settle();
  if (!std::holds_alternative<verb::Power>(action) && !IsSetup(action)) dev_->WakeFromSuspend();
  return dev_->RunUntilIdle();
}

std::optional<std::string> Runner::Act(const Action& action) {
  sim::Device& dev = *dev_;
  if (auto* m = std::get_if<verb::Model>(&action)) {
    detail::ExpectContext ctx{dev, daemonPath_, cursor_, daemonStarted_, &promises_};
    return m->step->Play(ctx);
  }
  if (auto* v = std::get_if<verb::Clock>(&action)) {
    dev.SetClock(v->time);
    dev.notifications().Reschedule(dev);  // those a kept device had fall due by the new clock
  } else if (auto* v = std::get_if<verb::Boot>(&action)) {
    dev.SetBootTick(v->tick);
  } else if (auto* v = std::get_if<verb::FileAdd>(&action)) {
    if (!dev.files().AddFile(U16(v->path))) return "cannot create the file " + v->path;
  } else if (auto* v = std::get_if<verb::FileDelete>(&action)) {
    dev.files().Remove(U16(v->path));  // already gone is what was asked for
  } else if (auto* v = std::get_if<verb::Install>(&action)) {
    daemonPath_ = U16(v->path);
    if (!HasExtension(daemonPath_)) daemonPath_ += u".exe";
    InstallDaemon(dev, daemonPath_);
    installed_ = true;
    if (!dev.files().Exists(daemonPath_)) return "cannot create the file " + U8(daemonPath_);
  } else if (auto* v = std::get_if<verb::RegSet>(&action)) {
    DWORD type = REG_NONE;
    std::vector<uint8_t> bytes = detail::RegBytes(v->data, &type);
    if (!dev.registry().SetValue(U16(v->key), U16(v->name), type, std::move(bytes)))
      return "the registry refused the key or the value name";
  } else if (auto* v = std::get_if<verb::RegDelete>(&action)) {
    if (v->name)
      dev.registry().DeleteValue(U16(v->key), U16(*v->name));
    else
      dev.registry().DeleteKey(U16(v->key));
  } else if (auto* v = std::get_if<verb::Start>(&action)) {
    return Start(*v);
  } else if (auto* v = std::get_if<verb::Kill>(&action)) {
    dev.Kill(ProgramExe(v->program, daemonPath_));  // none running is what was asked for
  } else if (auto* v = std::get_if<verb::Foreground>(&action)) {
    return Foreground(*v);
  } else if (std::holds_alternative<verb::UserUnlock>(action)) {
    return UserUnlock();
  } else if (std::holds_alternative<verb::UserOk>(action)) {
    return UserOk();
  } else if (auto* v = std::get_if<verb::Post>(&action)) {
    return Post(*v);
  } else if (auto* v = std::get_if<verb::Power>(&action)) {
    sim::PowerManager::Of(dev).Transition(dev, U16(v->state), v->flags);
  } else if (auto* v = std::get_if<verb::PowerAc>(&action)) {
    sim::PowerManager::Of(dev).PowerInfo(dev, v->lineStatus, dev.config().power.batteryPercent);
  } else if (auto* v = std::get_if<verb::PowerBattery>(&action)) {
    sim::PowerManager::Of(dev).PowerInfo(dev, dev.config().power.acLine, v->percent);
  }
  return std::nullopt;
}

// A program by executable name: beside the daemon first, then in \Windows, where it is
// created when it exists nowhere so that any name gives at least an inert process.
std::optional<std::string> Runner::Start(const verb::Start& v) {
  std::u16string path;
  if (IEquals(U16(v.program), u"dorvane2")) {
    path = daemonPath_;
  } else if (v.program.find_first_of("\\/") != std::string::npos) {
    path = U16(v.program);
    if (!HasExtension(path)) path += u".exe";
  } else {
    std::u16string exe = ProgramExe(v.program, daemonPath_);
    path = detail::FolderOf(daemonPath_) + u"\\" + exe;
    if (!dev_->files().Exists(path)) path = u"\\Windows\\" + exe;
  }
  if (!dev_->files().Exists(path) && path != daemonPath_ && !dev_->files().AddFile(path))
    return "cannot create the file " + U8(path);
  DWORD error = 0;
  if (!dev_->Launch(path, U16(v.args), SW_SHOW, &error))
    return "cannot start " + U8(path) + " (error " + std::to_string(error) + ")";
  if (path == daemonPath_) daemonStarted_ = true;
  return std::nullopt;
}

std::optional<std::string> Runner::Foreground(const verb::Foreground& v) {
  std::u16string exe = ProgramExe(v.program, daemonPath_);
  auto& windows = dev_->windows();
  for (HWND h : windows.ZOrder()) {
    const sim::Window* w = windows.Get(h);
    if (w && w->process && !w->process->ended && IEquals(w->process->exeName, exe)) {
      SetForegroundWindow(h);
      return std::nullopt;
    }
  }
  return "no running process of " + U8(exe) + " has a top-level window";
}

std::optional<std::string> Runner::UserUnlock() {
  HWND slide = WindowOfClass("Vurl");
  if (!slide) return NoWindow("Vurl") + " (the slide screen)";
  PostMessageW(slide, kUserActionMessage, kUserUnlock, 0);
  return std::nullopt;
}

std::optional<std::string> Runner::UserOk() {
  auto& windows = dev_->windows();
  for (HWND h : windows.ZOrder()) {
    const sim::Window* w = windows.Get(h);
    if (w && w->visible && IEquals(w->cls, u"Dialog")) {
      PostMessageW(h, WM_COMMAND, IDOK, 0);
      return std::nullopt;
    }
  }
  return "there is no message box (a visible window of class Dialog) on the screen";
}

std::optional<std::string> Runner::Post(const verb::Post& v) {
  HWND target = WindowOfClass(v.windowClass);
  if (!target) return NoWindow(v.windowClass);
  uint32_t values[3];
  const MsgParam* params[3] = {&v.msg, &v.wParam, &v.lParam};
  for (int i = 0; i < 3; ++i) {
    values[i] = params[i]->value;
    if (params[i]->kind != MsgParam::Kind::WindowOf) continue;
    values[i] = WindowOfClass(params[i]->windowClass);
    if (!values[i]) return NoWindow(params[i]->windowClass) + " for @" + params[i]->windowClass;
  }
  if (!PostMessageW(target, values[0], values[1], static_cast<LPARAM>(values[2])))
    return "the window of class " + v.windowClass + " takes no messages";
  return std::nullopt;
}

// The window class a step names, when a missing window would make it fail.
static std::optional<std::string> ClassNamed(const Action& action) {
  if (auto* v = std::get_if<verb::Post>(&action)) return v->windowClass;
  if (auto* v = std::get_if<verb::ExpectPosted>(&action)) return v->windowClass;
  if (auto* v = std::get_if<verb::ExpectWindow>(&action)) return v->windowClass;
  if (auto* v = std::get_if<verb::ExpectTimer>(&action)) return v->windowClass;
  if (std::holds_alternative<verb::UserUnlock>(action)) return "Vurl";
  return std::nullopt;
}

// Why a window a failed step names is not there, when the device can tell: a class no window
// ever had (most often a misspelling), or the daemon still held by its first-start message
// boxes.
std::string Runner::WhyNoWindow(const std::string& cls) const {
  if (cls == "*" || WindowOfClass(cls)) return {};
  if (IEquals(U16(cls), u"Dorvane2")) {
    int boxes = 0;
    for (HWND h : dev_->windows().ZOrder()) {
      const sim::Window* w = dev_->windows().Get(h);
      if (w && w->visible && IEquals(w->cls, u"Dialog") && w->process &&
          IEquals(w->process->exeName, detail::BaseName(daemonPath_)))
        ++boxes;
    }
    if (boxes > 0)
      return "the daemon has no window yet: " +
             (boxes == 1 ? std::string("one of its message boxes is")
                         : std::to_string(boxes) + " of its message boxes are") +
             " waiting for \"user ok\" (a first start shows them before the window is made)";
  }
  std::vector<std::string> names;
  for (const auto& c : dev_->windows().ClassesEver()) names.push_back(U8(c));
  if (std::any_of(names.begin(), names.end(),
                  [&](const std::string& n) { return IEquals(U16(n), U16(cls)); }))
    return {};
  std::vector<std::string_view> views(names.begin(), names.end());
  std::optional<std::string_view> near = Nearest(cls, views);
  return "no window of class \"" + cls + "\" ever existed on this device" +
         (near ? " (did you mean \"" + std::string(*near) + "\"?)" : std::string());
}

void Runner::ReportFailure(const Step& step, std::string_view what, const std::string& given) {
  std::string reason = given;
  if (std::optional<std::string> cls = ClassNamed(step.action))
    if (std::string why = WhyNoWindow(*cls); !why.empty()) reason += "\n" + why;
  if (!options_.timeline.empty())
    failures_.push_back({{dev_->Now(), fileName_ + ':' + std::to_string(step.line), step.source,
                          std::string(what), reason},
                         dev_->trace().Events().size()});
  out_ << fileName_ << ':' << step.line << ": " << what << ": " << step.source << '\n';
  std::istringstream lines(reason);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) out_ << "  " << line << '\n';
  const auto& events = dev_->trace().Events();
  if (events.empty()) {
    out_ << "  (nothing in the trace yet)\n";
    return;
  }
  out_ << "  last trace lines:\n";
  for (size_t i = TailStart(dev_->trace()); i < events.size(); ++i)
    if (sim::Trace::Printed(events[i].kind))
      out_ << "    " << sim::Trace::Render(events[i]) << '\n';
}

// Every reader of the trace in a run, and what it may still read once a step is over: the
// ordered expectations from their previous match on (its time is named when the next fails),
// the promise monitor from where it stopped, a failure report its last lines. The timeline page
// is built from the whole run at its end. The rest is let go of, so that a run's memory does
// not grow with its length.
void Runner::ForgetUnneededTrace() {
  if (!options_.timeline.empty()) return;
  sim::Trace& trace = dev_->trace();
  const size_t expectations = line_ >= lastExpectationLine_ ? trace.size()
                              : cursor_ > 0                 ? cursor_ - 1
                                                            : 0;
  const size_t needed = std::min(expectations, promises_.TraceNeeded());
  // Events go a whole chunk at a time: most steps end with none to let go of, and the tail a
  // failure would show is looked for only when some could go.
  if (trace.CanForgetBefore(needed)) trace.ForgetBefore(std::min(needed, TailStart(trace)));
}

bool OutputWritten(std::ostream& out, std::ostream& err) {
  if (out.flush()) return true;
  err << "dorvane2-sim: cannot write the output: the trace or the summary is incomplete\n";
  return false;
}

// --- Whole runs ----------------------------------------------------------------------------------

int RunScenarioText(std::string_view text, std::string_view fileName, const RunOptions& options,
                    std::ostream& out, std::ostream& err) {
  // Checked whole before anything is played; the check also finds out whether any verb needs
  // the phone application, which starts with the device, and where the last expectation is.
  // The steps it parsed are played as they are, unless there are so many that keeping them
  // would cost more memory than the text: then each line is parsed again as it is played.
  constexpr size_t kKeptSteps = 20000;
  std::vector<Step> steps;
  bool kept = true;
  bool phone = false;
  int lastExpectation = 0;
  constexpr size_t kMaxErrors = 20;
  const std::vector<ParseError> errors = ForEachStepChecked(
      text, fileName,
      [&](Step&& step) {
        phone = phone || NeedsPhone(step.action);
        if (detail::IsExpectation(step.action)) lastExpectation = step.line;
        if (kept && steps.size() < kKeptSteps) {
          steps.push_back(std::move(step));
        } else if (kept) {
          kept = false;
          std::vector<Step>().swap(steps);
        }
        return true;
      },
      kMaxErrors);
  if (!errors.empty()) {
    for (const ParseError& e : errors) err << e.text << '\n';
    if (errors.size() == kMaxErrors)
      err << fileName << ": stopped after " << kMaxErrors << " errors\n";
    return kExitBroken;
  }
  Runner runner(std::string(fileName), options, out, err);
  if (!runner.Open()) return kExitBroken;
  if (phone || options.phone) runner.WantPhone();
  runner.LastExpectationAt(lastExpectation);
  if (kept) {
    for (const Step& step : steps)
      if (!runner.Play(step)) break;
  } else {
    ForEachStep(text, fileName, [&](Step&& step) { return runner.Play(step); });
  }
  return runner.Finish();
}

RunResult RunScenario(std::string_view text, std::string_view fileName, const RunOptions& options) {
  std::ostringstream out;
  RunResult result;
  result.status = RunScenarioText(text, fileName, options, out, out);
  result.output = out.str();
  return result;
}

int RunShell(std::istream& in, const RunOptions& options, std::ostream& out, std::ostream& err) {
  constexpr std::string_view kName = "stdin";
  Runner runner(std::string(kName), options, out, err);
  if (!runner.Open()) return kExitBroken;
  if (options.phone) runner.WantPhone();
  ScenarioOrder order;
  int lineNo = 0;
  bool deviceOk = true, rejected = false, eventPlayed = false;
  for (std::string line; deviceOk && std::getline(in, line);) {
    ParseResult parsed = ParseLine(line, ++lineNo, kName, &order);
    if (!parsed.ok()) {
      err << parsed.error->text << '\n';
      rejected = true;
    }
    for (const Step& step : parsed.steps) {
      // A file is read whole first, so the phone application starts with the device; here
      // the first phone verb comes after events were played, and the phone starts late.
      if (eventPlayed && NeedsPhone(step.action) && !runner.PhoneStarted())
        err << kName << ":" << lineNo
            << ": the device becomes a phone only now: the phone application starts at this "
               "line, where `run` would have started it with the device (start the shell with "
               "--phone for that)\n";
      eventPlayed = eventPlayed || !IsSetup(step.action);
      deviceOk = runner.Play(step);
    }
    out.flush();
  }
  // A rejected line is a wrong scenario, as it would be in a file, though the rest was played.
  const int status = runner.Finish();
  return rejected ? kExitBroken : status;
}

}  // namespace device
