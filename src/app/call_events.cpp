#include "app/call_events.h"

#include "core/state.h"
#include "settings/settings.h"
#include "state/reminders.h"

namespace app {

namespace {
constexpr uint32_t kConnectBuzzMs = 150;
}  // namespace

// The rest of the call events comes with telephony; the buzz on a connected call is here.
void OnTalking(HWND, WPARAM, LPARAM) {
  if (core::G().Talking && settings::S().VibrateOnConnect) state::Vibrate(kConnectBuzzMs);
}
void OnIncomingOrEnded(HWND, WPARAM, LPARAM) {}
void OnDialing(HWND, WPARAM, LPARAM) {}

}  // namespace app
