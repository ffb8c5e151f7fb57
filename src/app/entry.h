// The daemon's process entry.
#pragma once

#include <string>

namespace app {

// The program's main: the command line holds the arguments only. Returns 0 in every case.
int DaemonMain(const std::u16string& cmdLine, int show);

}  // namespace app
