#include "platform/sim/scheduler.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/sim/process.h"

namespace sim {

namespace {
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kStackSize = 1 << 20;
#else
constexpr size_t kStackSize = 256 << 10;
#endif

struct EntryArg {
  Scheduler* scheduler;
  Thread* thread;
};
}  // namespace

Scheduler::Scheduler() = default;

Scheduler::~Scheduler() {
  UnwindAll();
  ReapFinished();
}

Thread* Scheduler::Spawn(Process* process, std::string name, std::function<DWORD()> body,
                         DWORD id) {
  auto thread = std::make_unique<Thread>();
  thread->id = id;
  thread->process = process;
  thread->name = std::move(name);
  thread->body = std::move(body);
  thread->seq = nextSeq_++;
  live_.push_back(thread.get());
  threads_.push_back(std::move(thread));
  return threads_.back().get();
}

size_t Scheduler::LivePosition(uint64_t seq) const {
  return static_cast<size_t>(
      std::lower_bound(live_.begin(), live_.end(), seq,
                       [](const Thread* t, uint64_t s) { return t->seq < s; }) -
      live_.begin());
}

void Scheduler::Finished(Thread* t) {
  t->state = ThreadState::Finished;
  size_t at = LivePosition(t->seq);
  if (at < live_.size() && live_[at] == t) live_.erase(live_.begin() + static_cast<long>(at));
}

// The scheduler and the thread travel through the fiber's single pointer argument.
void Scheduler::FiberEntry(void* arg) {
  auto* entry = static_cast<EntryArg*>(arg);
  Scheduler* self = entry->scheduler;
  Thread* thread = entry->thread;
  delete entry;
  try {
    DWORD code = thread->body();
    if (!thread->killed) thread->exitCode = code;
  } catch (const ThreadUnwind&) {
  } catch (const std::exception& e) {
    std::fprintf(stderr, "simulated thread '%s' threw: %s\n", thread->name.c_str(), e.what());
    std::abort();
  }
  thread->body = nullptr;
  bool notify = !thread->killed;
  thread->killed = true;
  self->Finished(thread);
  if (notify && self->onThreadExit) self->onThreadExit(thread);
  self->SwitchAway(thread, true);
  std::abort();  // a finished fiber is never resumed
}

bool Scheduler::IsRunnable(Thread* t) const {
  switch (t->state) {
    case ThreadState::Finished:
    case ThreadState::Running:
      return false;
    case ThreadState::Ready:
      return !t->killed || unwinding_;
    case ThreadState::Blocked:
      if (t->killed) return unwinding_;
      if (t->wait.deadline <= now_) return true;
      if (t->wait.timers && t->timerDue <= now_) return true;
      return t->wait.ready && t->wait.ready(t, t->wait.ctx);
  }
  return false;
}

Thread* Scheduler::PickNext(Thread* after) const {
  size_t n = live_.size();
  size_t start = LivePosition(after ? after->seq + 1 : lastPicked_);
  for (size_t k = 0; k < n; ++k) {
    Thread* t = live_[(start + k) % n];
    if (t == after) continue;
    if (IsRunnable(t)) return t;
  }
  if (after && IsRunnable(after)) return after;
  return nullptr;
}

void Scheduler::Resume(Fiber& from, Thread* to, bool fromFinished) {
  lastPicked_ = to->seq;
  to->state = ThreadState::Running;
  current_ = to;
  if (to->started && to->process) {
    ++to->process->wakeups;
    to->process->lastWakeAt = now_;
  }
  if (!to->started) {
    to->started = true;
    to->fiber = std::make_unique<Fiber>(&FiberEntry, new EntryArg{this, to}, kStackSize);
  }
  Fiber::Switch(from, *to->fiber, fromFinished);
}

void Scheduler::SwitchAway(Thread* self, bool finished) {
  ++steps;
  Thread* next = steps > stepBudget ? nullptr : PickNext(self);
  if (next == self) {
    self->state = ThreadState::Running;
    return;
  }
  if (finished) zombies_.push_back(self);
  if (next) {
    Resume(*self->fiber, next, finished);
  } else {
    current_ = nullptr;
    Fiber::Switch(*self->fiber, driver_, finished);
  }
  current_ = self;
  self->state = ThreadState::Running;
}

bool Scheduler::Block(const WaitSpec& spec) {
  Thread* self = current_;
  if (!self || (self->killed && unwinding_)) return false;
  self->wait = spec;
  self->state = ThreadState::Blocked;
  SwitchAway(self, false);
  self->wait = WaitSpec{};
  if (self->killed) {
    // Only a torn-down device resumes a terminated thread: unwind its stack, unless it is
    // already unwinding (a destructor that blocks just gets a failed wait).
    if (std::uncaught_exceptions() == 0) throw ThreadUnwind{};
    return false;
  }
  return true;
}

void Scheduler::Yield() {
  Thread* self = current_;
  if (!self) return;
  self->state = ThreadState::Ready;
  SwitchAway(self, false);
  if (self->killed && std::uncaught_exceptions() == 0) throw ThreadUnwind{};
}

void Scheduler::Terminate(Thread* thread, DWORD exitCode) {
  if (thread->state == ThreadState::Finished || thread->killed) return;
  thread->killed = true;
  thread->exitCode = exitCode;
  if (!thread->started) Finished(thread);
  if (onThreadExit) onThreadExit(thread);
  if (thread == current_) {
    // Parked for good: nothing resumes a killed thread until the device is torn down.
    thread->state = ThreadState::Blocked;
    thread->wait = WaitSpec{};
    SwitchAway(thread, false);
    if (std::uncaught_exceptions() == 0) throw ThreadUnwind{};
  }
}

void Scheduler::ReapFinished() {
  for (Thread* t : zombies_) t->fiber.reset();
  zombies_.clear();
}

bool Scheduler::RunReady() {
  ReapFinished();
  steps = 0;
  for (;;) {
    if (steps > stepBudget) return false;
    Thread* next = nullptr;
    size_t n = live_.size();
    size_t start = LivePosition(lastPicked_);
    for (size_t k = 0; k < n && !next; ++k) {
      Thread* t = live_[(start + k) % n];
      if (IsRunnable(t)) next = t;
    }
    if (!next) return true;
    Resume(driver_, next, false);
    current_ = nullptr;
    ReapFinished();
  }
}

uint64_t Scheduler::NextDeadline() const {
  uint64_t best = kNever;
  for (const Thread* t : live_) {
    if (t->state != ThreadState::Blocked || t->killed) continue;
    if (t->wait.deadline < best) best = t->wait.deadline;
    if (t->wait.timers && t->timerDue < best) best = t->timerDue;
  }
  return best;
}

void Scheduler::UnwindAll() {
  unwinding_ = true;
  for (auto& t : threads_) {
    t->incoming.clear();
    t->injected.clear();
    if (t->state == ThreadState::Finished) continue;
    t->killed = true;
    if (!t->started) Finished(t.get());
  }
  for (auto& t : threads_) {
    if (t->state == ThreadState::Finished) continue;
    Resume(driver_, t.get(), false);
    current_ = nullptr;
    ReapFinished();
  }
  unwinding_ = false;
}

std::string Scheduler::DescribeWaits() const {
  std::string out;
  char line[256];
  for (const auto& t : threads_) {
    if (t->state == ThreadState::Finished) continue;
    const char* state = t->killed                          ? "terminated"
                        : t->state == ThreadState::Blocked ? "blocked"
                                                           : "ready";
    std::snprintf(line, sizeof line, "  thread %u '%s': %s %s%s\n", t->id, t->name.c_str(), state,
                  t->state == ThreadState::Blocked ? t->wait.what : "",
                  t->wait.deadline != kNever ? " (with a deadline)" : "");
    out += line;
  }
  return out;
}

}  // namespace sim
