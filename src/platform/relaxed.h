// A value that several threads read and write without a lock: a byte or an aligned 32-bit
// word, as the daemon's shared state record needs. Relaxed atomics make that well defined.
#pragma once

#include <atomic>

namespace platform {

template <class T>
class Relaxed {
 public:
  constexpr Relaxed(T v = T{}) : v_(v) {}
  Relaxed(const Relaxed& o) : v_(o.load()) {}
  Relaxed& operator=(const Relaxed& o) {
    store(o.load());
    return *this;
  }
  Relaxed& operator=(T v) {
    store(v);
    return *this;
  }
  operator T() const { return load(); }
  T load() const { return v_.load(std::memory_order_relaxed); }
  void store(T v) { v_.store(v, std::memory_order_relaxed); }

 private:
  std::atomic<T> v_;
};

}  // namespace platform
