// The unread and missed counters the slide screen shows.
#pragma once

namespace state {

void ReadAllCounters();
// Sets the state store's unread counters to 0 ("-reset").
void ResetUnreadCounters();

}  // namespace state
