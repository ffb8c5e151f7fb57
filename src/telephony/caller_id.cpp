#include "telephony/caller_id.h"

#include "log/debug_log.h"

namespace telephony {

bool IsNumericNumber(const WCHAR* number) {
  for (int i = 0; number && number[i]; ++i) {
    if (number[i] <= 126) continue;
    if (dlog::Detailed()) dlog::DebugLog(u"Non Numeric %d(%d)", i, number[i]);
    return false;
  }
  return true;
}

// Contacts and the SIM are not searched yet: the empty "IncomingName" the line monitor wrote
// before the lookup stands, and the slide screen shows the number alone.
void LookupCallerName(HWND, const WCHAR*) {}

}  // namespace telephony
