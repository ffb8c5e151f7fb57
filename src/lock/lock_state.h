// The lock and unlock sequences and the predicates other parts decide on.
#pragma once

namespace lock {

void Lock();
void Unlock();
// A settings reload closes the slide screen: a locked phone is unlocked without its report, and
// gets back the task bar, the reminders and the keys the lock took.
void UnlockForReload();

bool IsAlreadyLocked();
bool IsSyncing();
bool IsOnHold();
bool IsTalkingOrOnHold();
bool IsPhoneBusy();
bool IsInCallLockWanted();

}  // namespace lock
