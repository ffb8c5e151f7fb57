#include "core/clock.h"

#include "platform/kernel.h"

namespace core {

uint32_t MinuteClock() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft{};
  if (!SystemTimeToFileTime(&st, &ft)) return 0;
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<uint32_t>(ticks / 600000000ull);
}

}  // namespace core
