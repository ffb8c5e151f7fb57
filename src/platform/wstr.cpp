#include "platform/wstr.h"

#include <algorithm>

namespace platform {

namespace {

// The well-formed character at s[i]: its length, or 0 for an overlong form, a surrogate, a
// code point past U+10FFFF, a stray continuation byte or a truncated sequence.
size_t DecodeOne(std::string_view s, size_t i, char32_t* cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  char32_t v = len == 1 ? c : c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    v = v << 6 | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[len] || v > 0x10FFFF || (v >= 0xD800 && v < 0xE000)) return 0;
  *cp = v;
  return len;
}

}  // namespace

// Malformed bytes become U+FFFD one by one: an overlong form never turns into a character
// (C1 9C is not a backslash).
std::u16string U16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0xFFFD;
    size_t len = DecodeOne(s, i, &cp);
    i += len ? len : 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

size_t FirstInvalidUtf8(std::string_view s) {
  char32_t cp = 0;
  for (size_t i = 0; i < s.size();) {
    size_t len = DecodeOne(s, i, &cp);
    if (len == 0) return i;
    i += len;
  }
  return std::string_view::npos;
}

std::string U8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

size_t WLen(const WCHAR* s) {
  if (!s) return 0;
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

std::u16string_view WView(const WCHAR* s) {
  return s ? std::u16string_view(s, WLen(s)) : u"";
}

size_t WCopy(WCHAR* dst, size_t cap, std::u16string_view src) {
  if (!dst || cap == 0) return 0;
  size_t n = std::min(cap - 1, src.size());
  std::copy_n(src.data(), n, dst);
  dst[n] = 0;
  return n;
}

int ICompareN(std::u16string_view a, std::u16string_view b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    int ca = i < a.size() ? FoldCase(a[i]) : 0;
    int cb = i < b.size() ? FoldCase(b[i]) : 0;
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

bool IStartsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && IEquals(text.substr(0, prefix.size()), prefix);
}

}  // namespace platform
