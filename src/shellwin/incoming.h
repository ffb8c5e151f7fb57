// The system's incoming-call window, which the daemon keeps out of sight while the slide screen
// shows the call, its soft-key window, the phone dialog and the in-call lock.
#pragma once

#include "platform/win_types.h"

namespace shellwin {

// Reads the phone notification's name to know the phone dialog's title, and finds the dialog.
void ReadPhoneNotificationSettings();
bool FindPhoneDialog();
// Finds the incoming-call window by its title and subclasses it; 0 when none is there.
HWND FindIncomingWindow();
// Finds the soft-key window of the incoming-call window's process.
void FindIncomingMenuWindow(HWND incoming);
// Finds and silences the skinned incoming window (phone skin on); true when it is known.
bool ApplySkinHandling(HWND incoming);
// No skin search is made any more.
void MarkIncomingHandled(HWND incoming);
bool MenuSearchDone();
// Take the soft-key window and the incoming-call window out of sight, keeping where they were.
void MoveIncomingMenuOutOfSight();
void HideIncomingWindow(HWND incoming);
// Caller handling was switched off while a call rings that was taken out of sight for the slide
// screen: the phone's own incoming-call window shows it again, where the phone had it.
void ShowIncomingAgain();
// Puts back the incoming-call window's own procedure if it was replaced.
void RestoreIncomingWindowProc();
// Puts back the skinned window's own procedure if it was replaced.
void RestoreSkinWindowProc();
// After a call was answered: the call window goes behind the slide screen when wanted.
void CheckInCallLock();

}  // namespace shellwin
