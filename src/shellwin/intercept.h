// Interception of the shell's windows: the "Manila" and desktop windows while locked, and the
// "WinCENotify" notification window for the daemon's life.
#pragma once

namespace shellwin {

void SubclassShellWindows();
void UnsubclassShellWindows();
// Returns whether the notification window was subclassed.
bool SubclassNotifyWindow();
void UnsubclassNotifyWindow();
// Drops the saved "Manila" procedure without putting it back.
void ForgetManilaProc();

}  // namespace shellwin
