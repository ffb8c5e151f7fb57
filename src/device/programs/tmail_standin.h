// Stand-in for the messaging program ("tmail.exe"): like every program with soft keys on the
// phone, it owns a "menu_worker" soft-key window of its own beside its main window.
#pragma once

#include <string>

namespace device {

int TmailMain(const std::u16string& cmdLine, int show);

}  // namespace device
