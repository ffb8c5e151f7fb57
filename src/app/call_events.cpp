#include "app/call_events.h"

namespace app {

// Call events come from telephony, which is not built yet; nothing sends them.
void OnTalking(HWND, WPARAM, LPARAM) {}
void OnIncomingOrEnded(HWND, WPARAM, LPARAM) {}
void OnDialing(HWND, WPARAM, LPARAM) {}

}  // namespace app
