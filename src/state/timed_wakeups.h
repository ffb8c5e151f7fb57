// The sleep timer: a timed notification of the platform on the named event "Dorvane2Notify",
// which fires even while the device sleeps, and the listener thread that waits for it and
// hands the work to the daemon window (timer 1047).
#pragma once

#include "platform/win_types.h"

namespace state {

// Removes every notification whose application string contains `eventName`; 1 on success,
// 0 when the database could not be read or a notification not removed.
int ClearTimerNotifications(const WCHAR* eventName, bool warnOnQueueSize);
// Registers the notification for the stored "SleepTimer" moment; 0 or E_FAIL. A moment less
// than 5 s ahead, or one the platform refuses, is deleted so that it cannot fire later.
HRESULT AddSleepTimer(const WCHAR* eventName);

// Starts the listener on the pair (notify, stop); 0 (a negative result would fail start-up).
int StartTimerEventListener(HANDLE notifyEvent, HANDLE stopEvent);
// Pulses the stop event, waits up to 2000 ms for the listener, then terminates it.
bool StopTimerEventListener();
bool IsTimerListenerRunning();
// Whether the running listener has seen its notification fire (and set timer 1047).
bool TimerListenerFired();

}  // namespace state
