// The program the device runs for an executable with no stand-in: one visible top-level window
// named after the executable, closed by WM_CLOSE.
#pragma once

#include <string>

#include "platform/sim/process.h"

namespace sim {

ProgramMain InertProgram(const std::u16string& exeName);

}  // namespace sim
