// The sleep timer: a timed notification on the named event "Dorvane2Notify" and the thread
// that waits for it.
#pragma once

#include "platform/win_types.h"

namespace state {

void ClearTimerNotifications(const WCHAR* eventName, bool warnOnQueueSize);
// Negative on failure.
int StartTimerEventListener(HANDLE notifyEvent, HANDLE stopEvent);
bool StopTimerEventListener();
bool IsTimerListenerRunning();
void AddSleepTimer(const WCHAR* eventName);

}  // namespace state
