// Who is calling: the caller's number looked up among the contacts, then on the SIM; the name
// goes to the slide screen as "IncomingName".
#pragma once

#include "platform/win_types.h"

namespace telephony {

// False when a character of the number lies above 126 (such numbers are never looked up).
bool IsNumericNumber(const WCHAR* number);
// Writes "IncomingName" when a name is found; opens the Outlook session for `window` if needed.
void LookupCallerName(HWND window, const WCHAR* number);

}  // namespace telephony
