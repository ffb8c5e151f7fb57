// The SIM phonebook cache: filled at start-up on a thread of its own, refilled on the SIM
// manager's thread when an entry is stored or deleted, read by the caller lookup on the window
// thread. Each entry is a radio round trip: the window thread never waits for them, and a lookup
// before the first fill finds no name, as with an empty SIM.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace pim {

constexpr int kSimMaxEntries = 255;
constexpr int kSimFieldChars = 30;  // terminator included

// Fills the cache on a thread of its own and returns at once.
void LoadSimPhonebook();
// Stops a fill that is still running and lets the SIM go.
void ReleaseSim();
// Equal texts, or a stored number of 2 characters or more that is one to three characters
// shorter than the caller's and equals its ending.
bool SimNumbersMatch(std::u16string_view stored, std::u16string_view caller);
// The name of the first cached entry whose number matches the caller's; empty when none.
std::u16string FindSimName(std::u16string_view caller);
int SimCachedEntries();

}  // namespace pim
