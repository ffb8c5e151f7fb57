// Registry changes in the device trace: kept as raw data, put into words when read.
#pragma once

#include <cstdint>

#include "platform/sim/registry_model.h"
#include "platform/sim/trace.h"

namespace sim {

void TraceRegistry(Trace& trace, uint64_t time, uint32_t actor, const RegChange& c);

}  // namespace sim
