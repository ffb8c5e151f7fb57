// Process-wide data. On the device a global is per process anyway; the simulated device runs
// several processes in one host process, so each process gets its own instance here.
#pragma once

namespace platform {

// Returns the calling process's slot for `key`, made with `create` on first use and released
// with `destroy` when the process ends.
void* ProcessSlot(const void* key, void* (*create)(), void (*destroy)(void*));

template <class T>
T& ProcessGlobal() {
  static const char key = 0;
  return *static_cast<T*>(ProcessSlot(
      &key, []() -> void* { return new T(); }, [](void* p) { delete static_cast<T*>(p); }));
}

}  // namespace platform
