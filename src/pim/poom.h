// The Outlook object model session and the SIM phonebook cache.
#pragma once

#include "platform/win_types.h"

namespace pim {

void LoadSimPhonebook();
void ReleaseSim();
void OpenPoomSession(HWND notifyWindow);
void ClosePoomSession();

}  // namespace pim
