// The vibration motor, driven as the last LED of the notification LED driver.
#include <algorithm>

#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/nled.h"
#include "settings/settings.h"
#include "state/reminders.h"

namespace state {

using dlog::DebugLog;
using dlog::Detailed;

namespace {
constexpr uint8_t kNoVibration = 255;
// Requests come from other programs with any number; an endless one would stall the calling
// thread (the daemon window's) for good, so a buzz is cut at this length.
constexpr uint32_t kLongestVibrationMs = 5000;

bool SwitchLed(uint8_t led, int offOnBlink) {
  NLED_SETTINGS_INFO settings{};
  settings.LedNum = led;
  settings.OffOnBlink = offOnBlink;
  return NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings) != FALSE;
}
}  // namespace

// A lone LED is the notification light itself: only a second one can be the motor.
uint8_t DetectVibrationLed() {
  NLED_COUNT_INFO info{};
  uint8_t led = kNoVibration;
  if (NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &info) && info.cLeds >= 2 && info.cLeds <= 255)
    led = static_cast<uint8_t>(info.cLeds - 1);
  // Written before the settings are loaded, so not held back by DebugOn.
  DebugLog(u"Get Vibrate LED %d", led);
  return led;
}

void Vibrate(uint32_t ms) {
  uint8_t led = settings::S().VibrationLED;
  if (led == kNoVibration) return;
  ms = std::min(ms, kLongestVibrationMs);
  if (Detailed()) DebugLog(u"Vibrate %d(%d)", ms, led);
  if (!SwitchLed(led, NLED_ON)) return;
  Sleep(ms);
  SwitchLed(led, NLED_OFF);
}

}  // namespace state
