// Stackful coroutines for the simulated threads. Every simulated thread runs on a fiber of
// the one host thread, so switching costs a few register moves instead of a host context
// switch, and only one simulated thread can ever run at a time.
#pragma once

#include <cstddef>

namespace sim {

class Fiber {
 public:
  using Entry = void (*)(void* arg);

  // The context of the host thread itself (the driver); it owns no stack.
  Fiber();
  Fiber(Entry entry, void* arg, size_t stackSize);
  ~Fiber();
  Fiber(const Fiber&) = delete;
  Fiber& operator=(const Fiber&) = delete;

  // Saves the running context into `from` and resumes `to`. `fromIsFinished` tells the
  // sanitizer runtime that `from` will never be resumed.
  static void Switch(Fiber& from, Fiber& to, bool fromIsFinished = false);

 private:
  static void Start(void* self);

  void* sp_ = nullptr;
  void* stack_ = nullptr;
  size_t stackSize_ = 0;
  size_t mapSize_ = 0;
  Entry entry_ = nullptr;
  void* arg_ = nullptr;
  // Sanitizer bookkeeping: the stack bounds seen by the runtime.
  const void* asanBottom_ = nullptr;
  size_t asanSize_ = 0;
  void* asanFakeStack_ = nullptr;
  Fiber* resumedFrom_ = nullptr;
};

}  // namespace sim
