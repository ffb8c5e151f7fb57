// The simulated notification database: notifications registered by programs, kept while the
// device runs (they outlive the program that set them). A time notification sets its named
// event at its local time, wakes a suspended device, and is then removed, as on the device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/notify.h"

namespace sim {

class Device;

struct UserNotification {
  HANDLE handle = 0;
  std::u16string owner;  // the executable that registered it
  DWORD type = 0;
  DWORD event = 0;
  std::u16string application;
  std::u16string arguments;
  SYSTEMTIME start{};
  SYSTEMTIME end{};
  // The dialog or sound shown with it, when the program passed one.
  bool hasUser = false;
  DWORD actionFlags = 0;
  std::u16string dialogTitle, dialogText, sound;
  // Changes with every new trigger, so a firing scheduled for an older one finds itself stale.
  uint64_t generation = 0;
};

class NotificationDatabase {
 public:
  // Registers (existing 0) or replaces the notification; 0 and the error when the trigger is
  // not one the database takes.
  HANDLE Set(Device& dev, HANDLE existing, const CE_NOTIFICATION_TRIGGER& trigger,
             const CE_USER_NOTIFICATION* user, DWORD* error);
  // Puts back a notification of a kept device, its handle and owner as they were; a timed one
  // falls due as if the device had kept running. False when the database would not take it
  // (its trigger, or a handle that is taken).
  bool Restore(Device& dev, UserNotification n);
  bool Clear(Device& dev, HANDLE handle);
  const UserNotification* Find(HANDLE handle) const;
  const std::vector<UserNotification>& Entries() const { return entries_; }
  // The clock was set: every timed notification falls due anew, at once if its time has passed.
  void Reschedule(Device& dev);

 private:
  void Schedule(Device& dev, const UserNotification& n);
  void Fire(Device& dev, HANDLE handle, uint64_t generation);

  std::vector<UserNotification> entries_;
  uint64_t nextGeneration_ = 1;
  HANDLE next_ = 0x00B00004;
};

}  // namespace sim
