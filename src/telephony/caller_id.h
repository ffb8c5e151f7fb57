// Caller identity: whether a caller number can be used, and the caller's name.
#pragma once

#include "platform/win_types.h"

namespace telephony {

// True when no character of the number is above 126; an empty number counts as usable.
bool IsNumericNumber(const WCHAR* number);
// Looks the number up and writes the caller's name as "IncomingName" for the slide screen;
// leaves it as it is (empty) when no name is known.
void LookupCallerName(HWND daemonWindow, const WCHAR* number);

}  // namespace telephony
