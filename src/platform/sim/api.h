// What every platform call of the simulated device starts from: the current device and the
// simulated thread making the call (null for the driver).
#pragma once

#include "platform/sim/device.h"

namespace sim {

inline Device& Dev() {
  return Device::Current();
}
inline Thread* Self() {
  return Device::Current().scheduler().Current();
}

}  // namespace sim
