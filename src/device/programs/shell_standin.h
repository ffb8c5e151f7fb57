// Stand-in for the phone's shell: the task bar "HHTaskBar", the notification window
// "WinCENotify" and the desktop, present from boot.
#pragma once

#include <string>

namespace device {

int ShellMain(const std::u16string& cmdLine, int show);

}  // namespace device
