// Time helpers over the platform clock.
#pragma once

#include <cstdint>

namespace core {

// Local time in whole minutes since 1601.
uint32_t MinuteClock();

}  // namespace core
