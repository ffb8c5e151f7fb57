// UTF-16 text helpers shared by the daemon and the simulated device.
#pragma once

#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace platform {

std::u16string U16(std::string_view utf8);
// Strict UTF-8: the offset of the first byte that does not start a well-formed character
// (overlong, surrogate, past U+10FFFF, stray or cut short), or npos when all of it is fine.
size_t FirstInvalidUtf8(std::string_view utf8);
std::string U8(std::u16string_view text);

// Characters up to the terminating NUL; 0 for a null pointer.
size_t WLen(const WCHAR* s);
// The text of a possibly null, NUL-terminated string.
std::u16string_view WView(const WCHAR* s);
// Copies at most cap-1 characters and terminates; returns the characters copied.
size_t WCopy(WCHAR* dst, size_t cap, std::u16string_view src);

// Case folding of the device's file and window names: ASCII and Latin-1 letters.
WCHAR FoldCase(WCHAR c);
bool IEquals(std::u16string_view a, std::u16string_view b);
// Like _wcsnicmp over the first n characters.
int ICompareN(std::u16string_view a, std::u16string_view b, size_t n);
bool IStartsWith(std::u16string_view text, std::u16string_view prefix);

}  // namespace platform
