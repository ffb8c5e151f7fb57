// The store half of loading the settings: create or read HKCU\Software\Zeq\Vurl and apply the
// rules between options to the in-memory copy.
#pragma once

namespace settings {

// Opens the store, creating it on the first run (after the first-run notices) with every
// value, or otherwise reading every value, recreating what is missing or unreadable, and
// applying the rules. Leaves S() as it was when the store cannot be opened.
void LoadStore();

}  // namespace settings
