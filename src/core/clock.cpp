#include "core/clock.h"

#include "platform/kernel.h"

namespace core {

uint32_t MinuteClock() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  FILETIME ft{};
  if (!SystemTimeToFileTime(&st, &ft)) return 0;
  return static_cast<uint32_t>(platform::FileTimeTicks(ft) / 600000000ull);
}

}  // namespace core
