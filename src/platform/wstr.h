// UTF-16 text helpers shared by the daemon and the simulated device.
#pragma once

#include <cstring>
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

// Case folding of the device's file and window names: ASCII and Latin-1 letters. Inline:
// every registry and window-name lookup compares names this way.
inline WCHAR FoldCase(WCHAR c) {
  if (c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WCHAR>(c + 32);
  return c;
}
inline bool IEquals(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}
// Exact equality, compared as bytes: the standard comparison of char16_t text takes one
// character at a time, with two tests each.
inline bool Same(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0);
}
// Like _wcsnicmp over the first n characters.
int ICompareN(std::u16string_view a, std::u16string_view b, size_t n);
bool IStartsWith(std::u16string_view text, std::u16string_view prefix);

}  // namespace platform
