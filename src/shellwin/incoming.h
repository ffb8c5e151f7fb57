// The system's incoming-call window, which the daemon keeps out of sight.
#pragma once

#include "platform/win_types.h"

namespace shellwin {

void ReadPhoneNotificationSettings();
HWND FindIncomingWindow();
void ApplySkinHandling(HWND incoming);
void MarkIncomingHandled(HWND incoming);
// Puts back the incoming-call window's own procedure if it was replaced.
void RestoreIncomingWindowProc();

}  // namespace shellwin
