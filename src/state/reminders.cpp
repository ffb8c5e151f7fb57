#include "state/reminders.h"

namespace state {

// Reminder suppression and the LED are not built yet: no LED is known and the shell's
// options are left alone.
uint8_t DetectVibrationLed() {
  return 255;
}
void RecoverReminderOptions() {}
void SaveReminderOptions() {}
void DisableReminderOptions() {}
void RestoreReminderOptions() {}
void Vibrate(uint32_t) {}

}  // namespace state
