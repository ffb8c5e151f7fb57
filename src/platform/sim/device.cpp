#include "platform/sim/device.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/power.h"
#include "platform/sim/inert_program.h"
#include "platform/sim/power_manager.h"
#include "platform/sim/trace_registry.h"
#include "platform/wstr.h"

namespace sim {

using platform::U16;
using platform::U8;

namespace {
Device* g_current = nullptr;

std::u16string Folded(std::u16string s) {
  for (auto& c : s) c = platform::FoldCase(c);
  return s;
}

std::string DescribeFsChange(const FsChange& c) {
  switch (c.kind) {
    case FsChange::Kind::Created:
      return (c.directory ? "mkdir " : "create ") + U8(c.path);
    case FsChange::Kind::Written:
      return "write " + U8(c.path);
    case FsChange::Kind::Deleted:
      return "delete " + U8(c.path);
    case FsChange::Kind::Copied:
      return "copy " + U8(c.from) + " -> " + U8(c.path);
    case FsChange::Kind::Moved:
      return "move " + U8(c.from) + " -> " + U8(c.path);
  }
  return U8(c.path);
}

std::u16string BaseName(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}
}  // namespace

Device::Device() {
  if (g_current) std::abort();  // one device at a time: the platform calls have no device argument
  g_current = this;
  SetCurrentRegistry(&registry_);
  SetCurrentFileSystem(&files_);
  sched_.onThreadExit = [this](Thread* t) { OnThreadExit(t); };
  auto caller = [this]() -> const void* {
    Thread* t = sched_.Current();
    return t ? t->process : nullptr;
  };
  handles_.currentOwner = caller;
  files_.currentOwner = caller;
  registry_.currentOwner = caller;
  registry_.AddObserver([this](const RegChange& c) { TraceRegistryChange(c); });
  files_.AddObserver([this](const FsChange& c) { TraceFileChange(c); });
  // The core library is always there; the models add the functions they export.
  libraries_.Add(Library{u"coredll.dll", false, {}});
  AddHookExports(libraries_);
  AddVendorLibraries(libraries_);
  AddShellServicesLibrary(libraries_);
}

Device::~Device() {
  sched_.onThreadExit = nullptr;
  sched_.UnwindAll();
  processes_.clear();
  SetCurrentRegistry(nullptr);
  SetCurrentFileSystem(nullptr);
  g_current = nullptr;
}

Device& Device::Current() {
  if (!g_current) std::abort();
  return *g_current;
}

bool Device::Exists() {
  return g_current != nullptr;
}

void Device::RegisterProgram(const std::u16string& exeName, ProgramMain main) {
  programs_[Folded(exeName)] = std::move(main);
}

Thread* Device::SpawnThread(Process* p, std::string name, std::function<DWORD()> body) {
  Thread* t = sched_.Spawn(p, std::move(name), std::move(body), nextThreadId_);
  nextThreadId_ += 4;
  if (p) p->threads.push_back(t);
  return t;
}

Process* Device::Launch(const std::u16string& pathIn, const std::u16string& cmdLine, int show,
                        DWORD* error) {
  std::u16string path = pathIn;
  if (path.find_first_of(u"\\/") == std::u16string::npos) path = u"\\Windows\\" + path;
  if (BaseName(path).find(u'.') == std::u16string::npos) path += u".exe";
  if (!files_.Exists(path) || files_.IsDirectory(path)) {
    if (error) *error = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  auto proc = std::make_unique<Process>();
  Process* p = proc.get();
  p->exeName = BaseName(path);
  p->imagePath = path;
  p->cmdLine = cmdLine;
  p->object = std::make_shared<ProcessObj>(p);
  // The process id is the system's own name for the process, not a handle its launcher holds.
  p->pid = handles_.Add(p->object, /*owned=*/false);
  processes_.push_back(std::move(proc));

  ProgramMain main;
  auto it = programs_.find(Folded(p->exeName));
  if (it != programs_.end()) {
    main = it->second;
  } else {
    main = InertProgram(p->exeName);
  }
  p->mainThread = SpawnThread(p, U8(p->exeName), [main, cmdLine, show]() -> DWORD {
    return static_cast<DWORD>(main(cmdLine, show));
  });
  if (trace_.enabled) {
    TraceEvent e;
    e.time = Now();
    e.kind = TraceKind::Launch;
    e.actor = windows_.Actor();
    e.text = U8(p->exeName);
    if (!cmdLine.empty()) e.text.append(" ").append(U8(cmdLine));
    trace_.Add(std::move(e));
  }
  return p;
}

bool Device::RunInProcess(Process* p, std::function<void()> call) {
  if (!p || p->ended || !p->mainThread || p->mainThread->killed) return false;
  auto ran = std::make_shared<bool>(false);
  p->mainThread->injected.push_back([ran, call = std::move(call)] {
    call();
    *ran = true;
  });
  RunUntilIdle();
  return *ran;
}

void Device::EndProcess(Process* p, DWORD exitCode) {
  if (p->ended) return;
  p->ended = true;
  p->exitCode = exitCode;
  lastExitCodes_[Folded(p->exeName)] = exitCode;
  windows_.DestroyAllOf(p);
  telephony_.CloseAllOf(*this, p);
  // The system closes whatever the process left open: its files, registry keys, events,
  // threads, queues.
  handles_.CloseAllOf(p);
  files_.CloseAllOf(p);
  registry_.CloseAllOf(p);
  if (trace_.enabled) {
    TraceEvent e;
    e.time = Now();
    e.kind = TraceKind::Exit;
    e.actor = U8(p->exeName);
    e.value = exitCode;
    trace_.Add(std::move(e));
  }
  Thread* self = sched_.Current();
  for (Thread* t : p->threads)
    if (t != self) sched_.Terminate(t, exitCode);
  if (self && self->process == p) sched_.Terminate(self, exitCode);
}

void Device::Note(std::string text, uint32_t value) {
  if (!trace_.enabled) return;
  TraceRecord r;
  r.time = Now();
  r.kind = TraceKind::Note;
  r.actor = windows_.ActorId();
  r.value = value;
  trace_.Add(r, text);
}

bool Device::Kill(const std::u16string& exeName) {
  bool any = false;
  for (auto& p : processes_) {
    if (!p->ended && platform::IEquals(p->exeName, exeName)) {
      EndProcess(p.get(), 1);
      any = true;
    }
  }
  return any;
}

Process* Device::FindProcess(std::u16string_view exeName) const {
  for (auto& p : processes_)
    if (!p->ended && platform::IEquals(p->exeName, exeName)) return p.get();
  return nullptr;
}

std::optional<DWORD> Device::LastExitCode(const std::u16string& exeName) const {
  auto it = lastExitCodes_.find(Folded(exeName));
  if (it == lastExitCodes_.end()) return std::nullopt;
  return it->second;
}

void Device::OnThreadExit(Thread* t) {
  // Whoever waits for an answer from this thread gets 0.
  for (SentMessage* m : t->incoming) m->done = true;
  t->incoming.clear();
  t->injected.clear();
  windows_.DestroyAllOf(t);
  if (t->process && t == t->process->mainThread) EndProcess(t->process, t->exitCode);
}

void Device::At(uint64_t time, std::function<void()> event) {
  events_.push_back({time, ++eventSeq_, std::move(event)});
}

uint64_t Device::NextEventTime() const {
  uint64_t best = kNever;
  for (const auto& e : events_) best = std::min(best, e.time);
  return best;
}

bool Device::RunDueEvents() {
  bool ran = false;
  for (;;) {
    auto due = events_.end();
    for (auto it = events_.begin(); it != events_.end(); ++it) {
      if (it->time > Now()) continue;
      if (due == events_.end() || it->time < due->time ||
          (it->time == due->time && it->seq < due->seq))
        due = it;
    }
    if (due == events_.end()) return ran;
    auto fn = std::move(due->fn);
    events_.erase(due);
    fn();
    ran = true;
  }
}

bool Device::RunUntilIdle() {
  for (;;) {
    if (!suspended_ && !sched_.RunReady()) {
      failure_ = "a simulated thread kept running without blocking (step budget spent)\n" +
                 sched_.DescribeWaits();
      return false;
    }
    if (RunDueEvents()) continue;
    if (suspendPending_ && !suspended_) {
      suspendPending_ = false;
      suspended_ = true;
      Note("suspended");
    }
    return true;
  }
}

void Device::LeaveSuspend() {
  suspendPending_ = false;
  if (!suspended_) return;
  suspended_ = false;
  Note("resumed");
}

void Device::WakeFromSuspend() {
  if (suspended_) PowerManager::Of(*this).Transition(*this, u"resuming", POWER_STATE_ON);
}

// While suspended only device events move the clock: the threads' deadlines wait for the
// resume.
uint64_t Device::NextWake() const {
  return suspended_ ? NextEventTime() : std::min(sched_.NextDeadline(), NextEventTime());
}

bool Device::AdvanceTo(uint64_t target) {
  for (;;) {
    if (!RunUntilIdle()) return false;
    uint64_t next = NextWake();
    if (next > target) break;
    sched_.SetNow(std::max(next, Now()));
  }
  sched_.SetNow(std::max(target, Now()));
  return RunUntilIdle();
}

bool Device::RunFor(uint64_t ms) {
  return AdvanceTo(Now() + ms);
}

bool Device::Settle(uint64_t horizon, uint64_t limit) {
  uint64_t start = Now();
  for (;;) {
    if (!RunUntilIdle()) return false;
    uint64_t next = NextWake();
    if (next == kNever || next > Now() + horizon) return true;
    if (next > start + limit) {
      failure_ = "the device did not settle within " + std::to_string(limit / 1000) +
                 " s of device time\n" + sched_.DescribeWaits();
      return false;
    }
    sched_.SetNow(std::max(next, Now()));
  }
}

bool Device::RunUntil(const std::function<bool()>& done, uint64_t limit) {
  uint64_t start = Now();
  for (;;) {
    if (!RunUntilIdle()) return false;
    if (done()) return true;
    uint64_t next = NextWake();
    if (next == kNever || next > start + limit) {
      failure_ = next == kNever ? "deadlock: every thread waits with no deadline\n"
                                : "the expected state was not reached in time\n";
      failure_ += sched_.DescribeWaits();
      return false;
    }
    sched_.SetNow(std::max(next, Now()));
  }
}

void Device::TraceRegistryChange(const RegChange& c) {
  TraceRegistry(trace_, Now(), windows_.ActorId(), c);
}

void Device::TraceFileChange(const FsChange& c) {
  if (!trace_.enabled) return;
  TraceEvent e;
  e.time = Now();
  e.kind = TraceKind::File;
  e.actor = windows_.Actor();
  e.text = DescribeFsChange(c);
  trace_.Add(std::move(e));
}

}  // namespace sim
