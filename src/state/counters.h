// The unread and missed counters the slide screen shows.
#pragma once

#include <cstdint>

namespace state {

// Reads every counter from the state store (0 for what cannot be read).
void ReadAllCounters();
// Sets the state store's unread counters to 0 ("-reset").
void ResetUnreadCounters();
// Posts every counter to the slide screen (message 32803).
void SendAllCounters();
// The unread messages of the mail client's storages (at most ten), added up.
int32_t SumMailStorageUnread();
// Subscribes each mail storage's unread count into the subscription table from `firstSlot` on;
// returns how many storages it went through.
int WatchMailStorages(int firstSlot);
// The number of pending reminders, at most 100.
int32_t CountReminders();
// The network generation level 0..7 of "Cellular System Connected".
uint32_t NetworkLevelFromFlags(uint32_t flags);
// Takes a preview of the newest mail of the account that last received one.
void PreviewLastEmailAccount();

}  // namespace state
