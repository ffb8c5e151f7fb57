// Process-wide data: a Windows process is one process, so each slot is made once and lives as
// long as the process.
#include "platform/process_local.h"

#include <unordered_map>

#include "platform/win32/real.h"

namespace platform {

void* ProcessSlot(const void* key, void* (*create)(), void (*)(void*)) {
  static real::SRWLOCK lock{};
  static std::unordered_map<const void*, void*> slots;
  real::AcquireSRWLockExclusive(&lock);
  void*& slot = slots[key];
  if (!slot) slot = create();
  void* result = slot;
  real::ReleaseSRWLockExclusive(&lock);
  return result;
}

}  // namespace platform
