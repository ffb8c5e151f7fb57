// Finding, starting, showing and talking to the slide screen program ("vurl.exe", window
// class and title "Vurl").
#pragma once

#include "platform/win_types.h"

namespace lock {

// The remembered slide screen window while it is still a window, else a fresh lookup.
HWND FindSlideScreen();
// The same without a log line, for window procedures that run on every activation.
HWND CurrentSlideWindow();
// Posts with lParam = DisplayOff; false when no slide screen runs.
bool PostToSlideScreen(UINT msg, WPARAM wParam);
void SendToSlideScreen(UINT msg, WPARAM wParam);
// Shows the slide screen or brings it forward, launching it when it does not run.
void AwakeSlideScreen(bool frontIfLocked, bool startHidden);
// A ringing call needs the slide screen although the phone is busy: it is launched hidden (the
// call, not the program, shows it) and the lock state stays as the call found it.
void StartSlideScreenForCall();
void SetSlideForeground();
void HideSlideScreen();
// Hands the call to the slide screen once per call; `rerun` repeats it when the slide screen
// reports that it is ready.
void RunCaller(bool rerun);
// The call state the slide screen is given for the offered call: 3 waiting, 1 locked, 2 not.
BYTE OfferedCallKind();
// The slide screen no longer shows the ringing call it was given: it is handed the call again,
// when a slide screen next reports ready (32777).
void OfferCallAgainWhenReady();
// The user slid the slide screen open while it showed a ringing call: it is handed the call
// again at once, and the call ends as the phone now is, unlocked.
void OfferCallAgainUnlocked();
// Asks the slide screen to unlock after WakeUpDelayMS + 1000 ms (timer 1037).
void DelayUnlock();
// Timer 1034 with no delayed unlock pending: bring the slide screen forward again.
void DelayWakeup();
// Timer 1045: lock in the background after the power button.
void BGAutoStart();
void StylusLock();
void HideTaskBar();
void UnHideTaskBar();
void ResetReminderTick();

}  // namespace lock
