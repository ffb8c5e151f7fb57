// The one Outlook object model session of the process: opened by whichever needs it first
// (the deferred start-up or a caller lookup), shared by the exports, closed at shutdown.
#pragma once

#include "platform/poom.h"

namespace pim {

// 0 once the session is open (at once when it already is), else the failure.
HRESULT OpenPoomSession(HWND notifyWindow);
void ClosePoomSession();
// The session's application object, or null while closed.
IPOutlookApp* PoomSession();
// Asks the object model to report changes other programs make in a folder (9 calendar, 13
// tasks) to the logon window.
HRESULT SubscribeFolderNotifications(int folder, ULONG flags);

}  // namespace pim
