// printf-style formatting over UTF-16 for the daemon's debug log, whose formats come from the
// device ("%02d:%02d:%02d \t%s\r\n", "Dorvane Wnd %0X", "%s (%d)"). Arguments are typed
// (FmtArg), so a format that asks for more arguments than it was given prints nothing for
// them instead of reading the stack.
//
// Conversions %d %i %u %x %X %c %s %%, flags `-` and `0`, a width, a precision (minimum digits
// for integers, maximum characters for %s); `l` and `h` are accepted and ignored. An unknown
// conversion is copied as written; an argument of the wrong kind (text for %d, a number for
// %s) prints nothing. Widths and precisions are capped at kMaxFieldWidth.
#pragma once

#include <concepts>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/win_types.h"

namespace platform {

constexpr size_t kMaxFieldWidth = 1024;

class FmtArg {
 public:
  enum class Kind { Number, Text };

  // Any integer or character is taken as the device's 32-bit value: %d reads it signed, %u
  // unsigned, %c as a UTF-16 unit, as printf on the device would.
  template <std::integral T>
  FmtArg(T v) : kind_(Kind::Number), bits_(static_cast<uint32_t>(v)) {}
  FmtArg(const WCHAR* s) : kind_(Kind::Text), text_(s ? s : u""), null_(!s) {}
  FmtArg(std::u16string_view s) : kind_(Kind::Text), text_(s) {}
  FmtArg(const std::u16string& s) : kind_(Kind::Text), text_(s) {}

  Kind kind() const { return kind_; }
  uint32_t bits() const { return bits_; }
  std::u16string_view text() const { return text_; }
  bool isNull() const { return null_; }

 private:
  Kind kind_;
  uint32_t bits_ = 0;
  std::u16string_view text_;
  bool null_ = false;
};

// Writes at most cap-1 characters and a terminating NUL (nothing when cap is 0); returns the
// characters written. As with wsprintf, the buffer is written as it is formatted: it must not
// be the format or one of the arguments.
size_t FormatW(WCHAR* buf, size_t cap, std::u16string_view fmt, std::initializer_list<FmtArg> args);
std::u16string FormatW(std::u16string_view fmt, std::initializer_list<FmtArg> args);

template <typename... A>
size_t FormatW(WCHAR* buf, size_t cap, std::u16string_view fmt, const A&... args) {
  return FormatW(buf, cap, fmt, {FmtArg(args)...});
}

// Anything that could be an output buffer (a WCHAR*, a WCHAR array, nullptr) is never the
// format of this overload, so a call with a buffer cannot land here.
template <typename F>
concept FormatText = std::convertible_to<F, std::u16string_view> && !std::convertible_to<F, WCHAR*>;

template <FormatText F, typename... A>
std::u16string FormatW(F&& fmt, const A&... args) {
  return FormatW(std::u16string_view(fmt), {FmtArg(args)...});
}

}  // namespace platform
