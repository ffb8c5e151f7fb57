// The lock and unlock sequences and the predicates other parts decide on.
#pragma once

namespace lock {

void Lock();
void Unlock();

bool IsAlreadyLocked();
bool IsSyncing();
bool IsOnHold();
bool IsTalkingOrOnHold();
bool IsPhoneBusy();
bool IsInCallLockWanted();

}  // namespace lock
