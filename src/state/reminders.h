// The shell's reminder pop-ups held back while locked, and the notification LED.
#pragma once

#include <cstdint>

namespace state {

// The LED index that drives the vibrator, or 255 when there is none.
uint8_t DetectVibrationLed();
// Puts back the shell's options backed up by a run that ended while locked.
void RecoverReminderOptions();
void SaveReminderOptions();
void DisableReminderOptions();
void RestoreReminderOptions();
// Runs the vibrator for `ms` on the calling thread (blocking it that long).
void Vibrate(uint32_t ms);

}  // namespace state
