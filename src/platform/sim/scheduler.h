// The run token and the virtual clock. Simulated threads run one at a time; a blocking call
// gives the token back, and when nothing can run the clock jumps to the next deadline or
// control returns to the driver (the device is quiescent).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/fiber.h"
#include "platform/user.h"

namespace sim {

constexpr uint64_t kNever = UINT64_MAX;

struct Process;
struct Thread;

// What a blocked thread waits for: a condition, a deadline, and/or its window timers.
struct WaitSpec {
  bool (*ready)(Thread* self, void* ctx) = nullptr;
  void* ctx = nullptr;
  uint64_t deadline = kNever;
  bool timers = false;
  const char* what = "";
};

// A message sent across threads: the sender blocks until `done`.
struct SentMessage {
  HWND hwnd = 0;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;
};

enum class ThreadState { Ready, Running, Blocked, Finished };

struct Thread {
  DWORD id = 0;
  uint64_t seq = 0;  // order of creation: the round-robin order
  Process* process = nullptr;
  // Whose process-wide data the running code sees: set while the thread runs a window
  // procedure another process put in (code mapped from that process's slot).
  Process* dataProcess = nullptr;
  std::string name;
  std::function<DWORD()> body;
  std::unique_ptr<Fiber> fiber;
  ThreadState state = ThreadState::Ready;
  bool started = false;
  bool killed = false;  // terminated: unwound when the device is torn down
  WaitSpec wait;
  DWORD exitCode = 0x103;  // STILL_ACTIVE
  DWORD lastError = 0;
  // Messaging.
  std::deque<MSG> posted;
  std::deque<SentMessage*> incoming;
  // Driver calls to run on this thread at its next message retrieval (tests reach a
  // program's own state this way).
  std::deque<std::function<void()>> injected;
  bool quitPosted = false;
  int quitCode = 0;
  uint64_t timerDue = kNever;  // earliest due window timer, kept by the window manager
  // Set by PulseEvent for a thread that was waiting on the pulsed event.
  const void* pulsedBy = nullptr;
};

// Thrown into a terminated thread at its blocking call when the device is torn down, so its
// stack unwinds and every object on it is released.
struct ThreadUnwind {};

class Scheduler {
 public:
  Scheduler();
  ~Scheduler();

  uint64_t Now() const { return now_; }
  void SetNow(uint64_t t) { now_ = t; }
  Thread* Current() const { return current_; }
  const std::vector<std::unique_ptr<Thread>>& Threads() const { return threads_; }
  // The threads that have not finished, in order of creation: all that can ever run again.
  const std::vector<Thread*>& Live() const { return live_; }

  Thread* Spawn(Process* process, std::string name, std::function<DWORD()> body, DWORD id);

  // On a simulated thread: give up the run token until `spec` may hold. Callers re-check
  // their condition in a loop.
  // Returns false when the wait must be abandoned (the device is being torn down).
  bool Block(const WaitSpec& spec);
  // On a simulated thread: let every other runnable thread run first.
  void Yield();
  // Stops a thread for good. On its own thread this does not return.
  void Terminate(Thread* thread, DWORD exitCode);
  bool IsRunnable(Thread* t) const;

  // Driver side. Runs threads until none can run at the current time. Returns false when the
  // step budget ran out (a thread that never blocks).
  bool RunReady();
  // The earliest time at which a blocked thread wakes by itself.
  uint64_t NextDeadline() const;
  // Unwinds every thread that has not finished; the device is being torn down.
  void UnwindAll();
  std::string DescribeWaits() const;

  // Switches and message retrievals one driver run may take before it counts as a livelock.
  uint64_t stepBudget = 2'000'000;
  uint64_t steps = 0;
  bool OverBudget() const { return steps > stepBudget; }
  // Called when a thread's body returns or the thread is terminated.
  std::function<void(Thread*)> onThreadExit;

 private:
  static void FiberEntry(void* arg);
  Thread* PickNext(Thread* after) const;
  // Where the round robin resumes: the first live thread created at or after `seq`.
  size_t LivePosition(uint64_t seq) const;
  void Finished(Thread* t);
  void SwitchAway(Thread* self, bool finished);
  void Resume(Fiber& from, Thread* to, bool fromFinished);
  void ReapFinished();

  uint64_t now_ = 0;
  Thread* current_ = nullptr;
  Fiber driver_;
  std::vector<std::unique_ptr<Thread>> threads_;
  // A finished thread leaves the list the scheduler scans, so a step costs the same however
  // many threads ran before; its record stays (handles and windows may still name it).
  std::vector<Thread*> live_;
  std::vector<Thread*> zombies_;
  uint64_t lastPicked_ = 0;  // seq of the thread that last ran
  uint64_t nextSeq_ = 0;
  bool unwinding_ = false;
};

}  // namespace sim
