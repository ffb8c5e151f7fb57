// The simulated notification LED driver: `config().leds` LEDs, the last one of two or more
// driving the vibration motor. Switching the vibration LED is traced as "vibration on/off (led N)"
// so that scenarios can tell it from the other LEDs.
#pragma once

#include <vector>

#include "platform/nled.h"

namespace sim {

class Device;

class LedDriver {
 public:
  // False (with ERROR_INVALID_PARAMETER) for an LED the device does not have or a state other
  // than off, on and blink.
  bool Set(Device& dev, const NLED_SETTINGS_INFO& settings);
  // The LED's OffOnBlink state; 0 for an LED never set.
  int State(UINT led) const { return led < states_.size() ? states_[led] : NLED_OFF; }

 private:
  std::vector<int> states_;
};

}  // namespace sim
