// Process-wide data. On the device a global is per process anyway; the simulated device runs
// several processes in one host process, so each process gets its own instance here.
#pragma once

namespace platform {

// Returns the calling process's slot for `key`, made with `create` on first use and released
// with `destroy` when the process ends.
void* ProcessSlot(const void* key, void* (*create)(), void (*destroy)(void*));

// The key of T's slot: lets the simulated device's observers find another process's instance.
template <class T>
const void* ProcessGlobalKey() {
  static const char key = 0;
  return &key;
}

template <class T>
T& ProcessGlobal() {
  return *static_cast<T*>(ProcessSlot(
      ProcessGlobalKey<T>(), []() -> void* { return new T(); },
      [](void* p) { delete static_cast<T*>(p); }));
}

}  // namespace platform
