#include "pim/poom.h"

namespace pim {

// The PIM session and SIM cache are not built yet.
void LoadSimPhonebook() {}
void ReleaseSim() {}
void OpenPoomSession(HWND) {}
void ClosePoomSession() {}
HRESULT SubscribeFolderNotifications(int) {
  return E_FAIL;
}

}  // namespace pim
