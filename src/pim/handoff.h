// Writing PIM items for the slide screen: numbered sub-keys under the settings store, texts
// sized (characters + 1) x 2, and object-model dates as 8-byte local FILETIMEs.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com.h"
#include "platform/registry.h"

namespace pim {

// "Software\Zeq\Vurl\<list>" and its sub-key "<list>\<n>".
std::u16string ListKey(const WCHAR* list);
// Creates (or opens) sub-key n with full access; 0 on failure.
HKEY CreateItemKey(const std::u16string& listKey, int n);
// A value that cannot be written is left out of the item: the slide screen shows the item with
// what it finds, and the next export writes it whole.
void WriteText(HKEY key, const WCHAR* name, const WCHAR* text);
void WriteDate(HKEY key, const WCHAR* name, DATE date);
void WriteDword(HKEY key, const WCHAR* name, DWORD value);
void WriteByte(HKEY key, const WCHAR* name, uint8_t value);

// The device's local time now, and midnight of a date, as automation dates.
DATE LocalNow();
DATE Midnight(DATE date);
// Whole seconds, so that dates compare without rounding noise.
int64_t Seconds(DATE date);
// A date in the object model's restriction form, "MM/DD/YYYY HH:MM".
std::u16string RestrictionDate(DATE date);

}  // namespace pim
