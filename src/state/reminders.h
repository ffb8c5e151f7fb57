// The shell's reminder pop-ups held back while locked, and the notification LED.
#pragma once

#include <cstdint>

namespace state {

// The LED index that drives the vibrator, or 255 when there is none.
uint8_t DetectVibrationLed();
void RecoverReminderOptions();
void SaveReminderOptions();
void DisableReminderOptions();
void RestoreReminderOptions();
void Vibrate(uint32_t ms);

}  // namespace state
