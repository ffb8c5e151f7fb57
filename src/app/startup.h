// The single daemon instance: start-up, message loop and shutdown.
#pragma once

#include <string>

namespace app {

void RunDaemon(const std::u16string& cmdLine, int show, bool showSwitch);

}  // namespace app
