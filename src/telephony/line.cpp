#include "telephony/line.h"

namespace telephony {

// Telephony is not built yet: no line is opened.
void TapiInitialize() {}
void TapiShutdown() {}
void CurrentLineClose() {}
void PhoneKeyAction(UINT) {}
void SendCallKey(UINT) {}
void MakePhoneCall(const WCHAR*) {}

}  // namespace telephony
