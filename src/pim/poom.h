// The Outlook object model session and the SIM phonebook cache.
#pragma once

#include "platform/win_types.h"

namespace pim {

void LoadSimPhonebook();
void ReleaseSim();
void OpenPoomSession(HWND notifyWindow);
void ClosePoomSession();
// Asks the object model to report changes in a folder (9 calendar, 13 tasks).
HRESULT SubscribeFolderNotifications(int folder);

}  // namespace pim
