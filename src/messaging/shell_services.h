// The shell-services library used to dismiss notifications.
#pragma once

namespace messaging {

void LoadShellServices();
void UnloadShellServices();

}  // namespace messaging
