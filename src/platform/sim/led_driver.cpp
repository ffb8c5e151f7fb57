#include "platform/sim/led_driver.h"

#include <string>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"

namespace sim {

bool LedDriver::Set(Device& dev, const NLED_SETTINGS_INFO& s) {
  DWORD count = dev.config().leds;
  if (s.LedNum >= count || s.OffOnBlink < NLED_OFF || s.OffOnBlink > NLED_BLINK) return false;
  if (states_.size() < count) states_.resize(count, NLED_OFF);
  states_[s.LedNum] = s.OffOnBlink;
  static const char* const kStates[] = {"off", "on", "blink"};
  std::string led = std::to_string(s.LedNum);
  // A lone LED is the notification light: a motor comes on top of it.
  if (count >= 2 && s.LedNum + 1 == count)
    dev.Note(std::string("vibration ") + kStates[s.OffOnBlink] + " (led " + led + ")");
  else
    dev.Note("led " + led + " " + kStates[s.OffOnBlink]);
  return true;
}

}  // namespace sim

BOOL NLedGetDeviceInfo(UINT infoId, void* output) {
  if (sim::StruckWithLastError("NLedGetDeviceInfo")) return FALSE;
  if (infoId != NLED_COUNT_INFO_ID || !output) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  static_cast<NLED_COUNT_INFO*>(output)->cLeds = sim::Dev().config().leds;
  return TRUE;
}

BOOL NLedSetDevice(UINT infoId, void* input) {
  if (sim::StruckWithLastError("NLedSetDevice")) return FALSE;
  if (infoId != NLED_SETTINGS_INFO_ID || !input ||
      !sim::Dev().leds().Set(sim::Dev(), *static_cast<const NLED_SETTINGS_INFO*>(input))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
