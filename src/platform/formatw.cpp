#include "platform/formatw.h"

#include <algorithm>
#include <optional>

namespace platform {
namespace {

struct Spec {
  bool left = false;
  bool zero = false;
  size_t width = 0;
  std::optional<size_t> precision;
};

// Appends up to `limit` characters; the bounded form never builds more than it can keep. It
// writes into the caller's buffer when there is one, a string otherwise: the debug log formats
// every line into a buffer of its own.
class Out {
 public:
  explicit Out(size_t limit) : limit_(limit) { text_.reserve(std::min<size_t>(limit, 128)); }
  Out(WCHAR* buf, size_t limit) : buf_(buf), limit_(limit) {}
  void Put(std::u16string_view s) {
    size_t n = std::min(s.size(), Room());
    if (buf_)
      std::copy_n(s.data(), n, buf_ + used_);
    else
      text_.append(s.data(), n);
    used_ += n;
  }
  void Fill(WCHAR c, size_t n) {
    n = std::min(n, Room());
    if (buf_)
      std::fill_n(buf_ + used_, n, c);
    else
      text_.append(n, c);
    used_ += n;
  }
  bool Full() const { return Room() == 0; }
  size_t size() const { return used_; }
  std::u16string Take() { return std::move(text_); }

 private:
  size_t Room() const { return limit_ - used_; }
  WCHAR* buf_ = nullptr;
  std::u16string text_;
  size_t used_ = 0;
  size_t limit_;
};

// Pads `body` (after an optional sign) to the field width.
void PutField(Out& out, const Spec& spec, std::u16string_view sign, std::u16string_view body,
              bool zeroPad) {
  size_t len = sign.size() + body.size();
  size_t pad = spec.width > len ? spec.width - len : 0;
  if (spec.left) {
    out.Put(sign);
    out.Put(body);
    out.Fill(u' ', pad);
  } else if (zeroPad) {
    out.Put(sign);
    out.Fill(u'0', pad);
    out.Put(body);
  } else {
    out.Fill(u' ', pad);
    out.Put(sign);
    out.Put(body);
  }
}

void PutInteger(Out& out, const Spec& spec, WCHAR conv, const FmtArg& arg) {
  uint32_t bits = arg.bits();
  // As on the device, %d reads the 32 bits as signed whatever the argument's type.
  bool negative = (conv == u'd' || conv == u'i') && static_cast<int32_t>(bits) < 0;
  uint32_t magnitude = negative ? 0u - bits : bits;
  unsigned base = (conv == u'x' || conv == u'X') ? 16 : 10;
  const char* digits = conv == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  // Written from the end; the precision's leading zeros are bounded like a width.
  WCHAR buf[kMaxFieldWidth + 16];
  WCHAR* end = buf + sizeof buf / sizeof buf[0];
  WCHAR* p = end;
  for (uint32_t v = magnitude; v != 0; v /= base) *--p = digits[v % base];
  // C rules: at least one digit unless an explicit precision of 0 is given for a 0.
  size_t minDigits = spec.precision.value_or(1);
  while (static_cast<size_t>(end - p) < minDigits && p > buf) *--p = u'0';
  PutField(out, spec, negative ? u"-" : u"", std::u16string_view(p, static_cast<size_t>(end - p)),
           spec.zero && !spec.left && !spec.precision);
}

void PutText(Out& out, const Spec& spec, const FmtArg& arg) {
  std::u16string_view s = arg.isNull() ? u"(null)" : arg.text();
  if (spec.precision) s = s.substr(0, std::min(s.size(), *spec.precision));
  PutField(out, spec, u"", s, false);
}

// Reads the digits at fmt[i...]; the value is capped so a runaway width cannot exhaust memory.
size_t ReadCount(std::u16string_view fmt, size_t& i) {
  size_t n = 0;
  for (; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i)
    n = std::min(kMaxFieldWidth, n * 10 + (fmt[i] - u'0'));
  return n;
}

void Format(Out& out, std::u16string_view fmt, std::initializer_list<FmtArg> args) {
  const FmtArg* next = args.begin();
  size_t i = 0;
  while (i < fmt.size() && !out.Full()) {
    size_t pct = fmt.find(u'%', i);
    out.Put(fmt.substr(i, pct == std::u16string_view::npos ? pct : pct - i));
    if (pct == std::u16string_view::npos) break;
    i = pct + 1;
    Spec spec;
    for (; i < fmt.size() && (fmt[i] == u'-' || fmt[i] == u'0'); ++i)
      (fmt[i] == u'-' ? spec.left : spec.zero) = true;
    spec.width = ReadCount(fmt, i);
    if (i < fmt.size() && fmt[i] == u'.') spec.precision = ReadCount(fmt, ++i);
    while (i < fmt.size() && (fmt[i] == u'l' || fmt[i] == u'h')) ++i;
    WCHAR conv = i < fmt.size() ? fmt[i] : 0;
    if (conv == u'%') {
      out.Put(u"%");
      ++i;
      continue;
    }
    if (std::u16string_view(u"diuxXcs").find(conv) == std::u16string_view::npos) {
      out.Put(fmt.substr(pct, i - pct));  // unknown: as written, the character after it follows
      continue;
    }
    ++i;
    if (next == args.end()) continue;
    const FmtArg& arg = *next++;
    bool number = arg.kind() == FmtArg::Kind::Number;
    if (conv == u's') {
      if (!number) PutText(out, spec, arg);
    } else if (conv == u'c') {
      WCHAR c = static_cast<WCHAR>(arg.bits());
      if (number) PutField(out, spec, u"", std::u16string_view(&c, 1), false);
    } else if (number) {
      PutInteger(out, spec, conv, arg);
    }
  }
}

}  // namespace

size_t FormatW(WCHAR* buf, size_t cap, std::u16string_view fmt,
               std::initializer_list<FmtArg> args) {
  if (!buf || cap == 0) return 0;
  Out out(buf, cap - 1);
  Format(out, fmt, args);
  buf[out.size()] = 0;
  return out.size();
}

std::u16string FormatW(std::u16string_view fmt, std::initializer_list<FmtArg> args) {
  Out out(std::u16string::npos / 2);
  Format(out, fmt, args);
  return out.Take();
}

}  // namespace platform
