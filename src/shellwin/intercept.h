// Interception of the shell's windows: the "Manila" and desktop windows while locked, and the
// "WinCENotify" notification window for the daemon's life. The replacement procedures run on
// the shell's threads.
#pragma once

namespace shellwin {

// Manila first, then the desktop (which hides the task bar).
void SubclassShellWindows();
// Manila first, then the desktop (which shows the task bar again).
void UnsubclassShellWindows();
// The desktop is held (the task bar hidden) for a lock screen that is wanted.
bool ShellWindowsHeld();
// Returns whether the notification window was subclassed.
bool SubclassNotifyWindow();
void UnsubclassNotifyWindow();
// Drops the saved "Manila" procedure without putting it back: its window is gone.
void ForgetManilaProc();
// Brings the slide screen to the front and hides the task bar, SIP button and start icon.
void ForceSlideForeground();

}  // namespace shellwin
