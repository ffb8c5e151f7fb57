// The unread and missed counters the slide screen shows.
#pragma once

#include <cstdint>

namespace state {

void ReadAllCounters();
// Sets the state store's unread counters to 0 ("-reset").
void ResetUnreadCounters();
// Posts every counter to the slide screen (message 32803).
void SendAllCounters();
int32_t SumMailStorageUnread();
int32_t CountReminders();
uint32_t NetworkLevelFromFlags(uint32_t flags);
void PreviewLastEmailAccount();

}  // namespace state
