#include "shellwin/incoming.h"

namespace shellwin {

// Incoming-call window handling is not built yet: the window is never found or touched.
void ReadPhoneNotificationSettings() {}
HWND FindIncomingWindow() {
  return 0;
}
void ApplySkinHandling(HWND) {}
void MarkIncomingHandled(HWND) {}
void RestoreIncomingWindowProc() {}

}  // namespace shellwin
