// The shell-services library, through which the daemon reaches the shell's notification list.
#pragma once

#include "platform/win_types.h"

namespace messaging {

// Loads "ossvcs.dll" and its three list functions; 1 when all were found, 0 otherwise.
int LoadShellServices();
void UnloadShellServices();

}  // namespace messaging
