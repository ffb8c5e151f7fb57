// The telephony line monitor and call control.
#pragma once

#include "platform/win_types.h"

namespace telephony {

// Opens every voice line with monitor and owner privileges; the telephony result (0 = done).
LONG TapiInitialize();
// Closes the lines and the application and forgets the calls.
void TapiShutdown();
// Ends the daemon's own outgoing call, if any, and closes the line it was placed on.
void CurrentLineClose();

// Call control: a key from the slide screen or the power button, a key to the call window,
// and dialling a number.
void PhoneKeyAction(UINT virtualKey);
void SendCallKey(UINT virtualKey);
bool MakePhoneCall(const WCHAR* number);

}  // namespace telephony
