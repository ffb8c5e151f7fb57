// The telephony line monitor.
#pragma once

#include "platform/win_types.h"

namespace telephony {

void TapiInitialize();
void TapiShutdown();
// Closes the daemon's own outgoing-call line if one is open.
void CurrentLineClose();

// Call control: a key from the slide screen or the power button, a key to the call window,
// and dialling a number.
void PhoneKeyAction(UINT virtualKey);
void SendCallKey(UINT virtualKey);
void MakePhoneCall(const WCHAR* number);

}  // namespace telephony
