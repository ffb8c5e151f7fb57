// Programs that must not be interrupted by the lock screen (the exception list, kept in
// HKCU\Software\Zeq\Vurl\Exceptions), the music players that keep the phone from powering
// down, and the launch list of the sibling "Dolm" program (HKCU\Software\Zeq\Vurl\DolmEXE),
// which the daemon only makes sure exists.
#pragma once

#include <string>

#include "settings/settings.h"

namespace settings {

// Reads the exception key into S().ExceptionList, recreating missing or unreadable names with
// their defaults (the first six) or empty.
void LoadExceptionList();
// Makes sure the nine program/parameter pairs of the launch list exist.
void CreateLaunchList();

// Whether an exception program counts as running: while it is in the foreground, or at all
// when ExceptionEXEisFG is 0. True means: do not lock by yourself now.
bool IsExceptionRunning();
// Whether one of the known music players runs.
bool IsMusicRunning();

// The name in entry `index` of the exception list.
std::u16string ExceptionEntry(size_t index);

}  // namespace settings
