#include "device/scenario/verb_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include "core/messages.h"

namespace device {

std::optional<std::string_view> Nearest(std::string_view word,
                                        std::span<const std::string_view> candidates) {
  auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  // Edit distance, with the swap of two neighbouring letters as one edit.
  auto distance = [&](std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
      for (size_t j = 1; j <= b.size(); ++j) {
        const size_t cost = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
        if (i > 1 && j > 1 && lower(a[i - 1]) == lower(b[j - 2]) &&
            lower(a[i - 2]) == lower(b[j - 1]))
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    return d[a.size()][b.size()];
  };
  if (word.empty() || word.size() > 64) return std::nullopt;
  const size_t most = word.size() <= 3 ? 1 : word.size() <= 8 ? 2 : 3;
  std::optional<std::string_view> best;
  size_t bestDistance = most + 1;
  bool tie = false;
  for (std::string_view c : candidates) {
    const size_t d = distance(word, c);
    if (d < bestDistance) {
      best = c;
      bestDistance = d;
      tie = false;
    } else if (d == bestDistance && best && *best != c) {
      tie = true;
    }
  }
  if (tie || (bestDistance == 0 && *best == word)) return std::nullopt;
  return best;
}

}  // namespace device

namespace device::parse {

// Columns count characters, not bytes, so they match what an editor shows for UTF-8 text.
int ColumnAt(std::string_view line, size_t byte) {
  int col = 1;
  for (size_t i = 0; i < byte && i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
  return col;
}

// --- Values -------------------------------------------------------------------------------

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal digits into a value no larger than `max`; nullopt on anything else or overflow.
namespace {
std::optional<uint64_t> Decimal(std::string_view s, uint64_t max) {
  if (s.empty()) return std::nullopt;
  uint64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    if (v > (max - static_cast<uint64_t>(c - '0')) / 10) return std::nullopt;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return v;
}
}  // namespace

bool LooksNumeric(std::string_view s) {
  if (!s.empty() && s[0] == '-') s.remove_prefix(1);
  return !s.empty() && IsDigit(s[0]);
}

// A 32-bit number: decimal, 0x hex, or (when `allowNegative`) a negative decimal stored as its
// two's complement, so -1 is 0xFFFFFFFF.
uint32_t ParseNumber(const Token& t, int column, bool allowNegative) {
  std::string_view s = t.text;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    uint64_t v = 0;
    for (char c : s.substr(2)) {
      int d = HexDigit(c);
      if (d < 0) throw Failure{column, "expected a number, not '" + Excerpt(t.text) + "'"};
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFu)
        throw Failure{column, "number out of range (32 bits): " + Excerpt(t.text)};
    }
    return static_cast<uint32_t>(v);
  }
  if (!LooksNumeric(s)) throw Failure{column, "expected a number, not '" + Excerpt(t.text) + "'"};
  bool negative = s[0] == '-';
  if (negative && !allowNegative)
    throw Failure{column, "expected a number that is not negative, not '" + Excerpt(t.text) + "'"};
  if (negative) s.remove_prefix(1);
  auto v = Decimal(s, negative ? 0x80000000u : 0xFFFFFFFFu);
  if (!v) {
    bool digits = s.find_first_not_of("0123456789") == std::string_view::npos;
    throw Failure{column, digits ? "number out of range (32 bits): " + Excerpt(t.text)
                                 : "expected a number, not '" + Excerpt(t.text) + "'"};
  }
  return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(*v))
                  : static_cast<uint32_t>(*v);
}

const char* const kDurationHelp = "expected a duration like 250ms, 3s, 2m or 1h";

uint64_t ParseDuration(const Token& t, int column) {
  std::string_view s = t.text;
  size_t digits = 0;
  while (digits < s.size() && IsDigit(s[digits])) ++digits;
  std::string_view unit = s.substr(digits);
  uint64_t factor = unit == "ms"  ? 1
                    : unit == "s" ? 1000
                    : unit == "m" ? 60000
                    : unit == "h" ? 3600000
                                  : 0;
  if (digits == 0 || factor == 0) throw Failure{column, kDurationHelp};
  auto v = Decimal(s.substr(0, digits), std::numeric_limits<uint64_t>::max() / factor);
  if (!v) throw Failure{column, "duration out of range: " + Excerpt(t.text)};
  return *v * factor;
}

std::vector<uint8_t> ParseHexBytes(const Token& t, int column) {
  std::vector<uint8_t> bytes;
  const std::string& s = t.text;
  bool valid = s.size() % 2 == 0;
  for (size_t i = 0; valid && i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    valid = hi >= 0 && lo >= 0;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  if (!valid)
    throw Failure{column, "expected hex bytes like 01 or 0a0b (an even number of digits)"};
  return bytes;
}

std::string NormaliseKey(const Token& t, int column) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kRoots{{
      {"HKCU\\", "HKEY_CURRENT_USER\\"},
      {"HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER\\"},
      {"HKLM\\", "HKEY_LOCAL_MACHINE\\"},
      {"HKEY_LOCAL_MACHINE\\", "HKEY_LOCAL_MACHINE\\"},
  }};
  std::string_view s = t.text;
  for (auto [prefix, root] : kRoots) {
    if (s.size() < prefix.size()) continue;
    bool same = true;
    for (size_t i = 0; i < prefix.size() && same; ++i)
      same = (s[i] >= 'a' && s[i] <= 'z' ? s[i] - 32 : s[i]) == prefix[i];
    if (!same) continue;
    std::string_view rest = s.substr(prefix.size());
    while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    if (rest.empty() || rest.front() == '\\' || rest.find("\\\\") != std::string_view::npos) break;
    return std::string(root) + std::string(rest);
  }
  throw Failure{column, "expected a registry key like HKCU\\Software\\Vurl or HKLM\\..."};
}

namespace {
bool TwoDigits(std::string_view s, size_t at, int& out) {
  if (!IsDigit(s[at]) || !IsDigit(s[at + 1])) return false;
  out = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}
}  // namespace

SYSTEMTIME ParseClock(const Token& date, int dateColumn, const Token& time, int timeColumn) {
  std::string_view d = date.text, t = time.text;
  int c = 0, y = 0, mo = 0, day = 0, h = 0, mi = 0, s = 0;
  if (d.size() != 10 || d[4] != '-' || d[7] != '-' || !TwoDigits(d, 0, c) || !TwoDigits(d, 2, y) ||
      !TwoDigits(d, 5, mo) || !TwoDigits(d, 8, day))
    throw Failure{dateColumn, "expected a date like 2008-06-01"};
  int year = c * 100 + y;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1601 || mo < 1 || mo > 12 || day < 1 ||
      day > kDays[mo - 1] + (mo == 2 && leap ? 1 : 0))
    throw Failure{dateColumn, "no such date: " + date.text};
  if (t.size() != 8 || t[2] != ':' || t[5] != ':' || !TwoDigits(t, 0, h) || !TwoDigits(t, 3, mi) ||
      !TwoDigits(t, 6, s))
    throw Failure{timeColumn, "expected a time like 07:00:00"};
  if (h > 23 || mi > 59 || s > 59) throw Failure{timeColumn, "no such time: " + time.text};
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int yy = mo < 3 ? year - 1 : year;
  int dow = (yy + yy / 4 - yy / 100 + yy / 400 + kOffsets[mo - 1] + day) % 7;
  auto w = [](int v) { return static_cast<WORD>(v); };
  return SYSTEMTIME{w(year), w(mo), w(dow), w(day), w(h), w(mi), w(s), 0};
}

SYSTEMTIME ParseDateAndTime(const Token& date, int dateColumn, const Token& time, int timeColumn) {
  Token full = time;
  if (full.text.size() == 5) full.text += ":00";
  try {
    return ParseClock(date, dateColumn, full, timeColumn);
  } catch (Failure& f) {
    if (f.column != timeColumn) throw;
    if (f.message.starts_with("no such time"))
      throw Failure{timeColumn, "no such time: " + time.text};
    throw Failure{timeColumn, "expected a time like 09:30 or 09:30:15"};
  }
}

// --- Reading a verb's words ----------------------------------------------------------------

// "a, b or c": the alternatives an error names.
std::string JoinOr(std::span<const std::string_view> words) {
  std::string list;
  for (size_t i = 0; i < words.size(); ++i)
    list += std::string(i == 0                  ? ""
                        : i + 1 == words.size() ? " or "
                                                : ", ") +
            std::string(words[i]);
  return list;
}

std::string DidYouMean(std::string_view word, std::span<const std::string_view> words) {
  std::optional<std::string_view> near = Nearest(word, words);
  return near ? "did you mean '" + std::string(*near) + "'? " : std::string();
}

const char* const kProgram = "expected a program name like fenk.exe";
const char* const kClass = "expected a window class";
const char* const kPath = "expected a device path like \\Program Files\\Vurl\\vurl.exe";
const char* const kText = "expected a text (quote it when it holds blanks)";

RegData ReadRegData(Cursor& c) {
  static constexpr std::array<std::string_view, 3> kTypes{"dword", "binary", "sz"};
  RegData d;
  switch (c.Choice(kTypes, "value type")) {
    case 0:
      d.type = RegData::Type::Dword;
      d.dword = c.Number("expected a dword value", true);
      break;
    case 1: {
      d.type = RegData::Type::Binary;
      int col = c.Column();
      d.bytes = ParseHexBytes(c.Next("expected hex bytes like 0a0b (\"\" for none)"), col);
      break;
    }
    default:
      d.type = RegData::Type::Sz;
      d.text = c.Word(kText);
  }
  return d;
}

namespace {
MsgParam ReadParam(Cursor& c, bool expectation, bool isMsg) {
  int col = c.Column();
  const Token& t = c.Next(isMsg ? "expected a message number" : "expected a parameter");
  if (expectation && t.text == "*") return {MsgParam::Kind::Any, 0, {}};
  if (!isMsg && !t.text.empty() && t.text[0] == '@') {
    if (t.text.size() == 1) throw Failure{col, "expected a window class after @"};
    return {MsgParam::Kind::WindowOf, 0, t.text.substr(1)};
  }
  // A message by its name, as trace lines show it: "Caller", "WM_CLOSE".
  if (isMsg && !LooksNumeric(t.text)) {
    if (std::optional<UINT> named = core::MessageByName(t.text))
      return {MsgParam::Kind::Value, *named, {}};
  }
  if (!LooksNumeric(t.text))
    throw Failure{col, std::string(isMsg && expectation ? "expected a message number, name or *"
                                   : isMsg              ? "expected a message number or name"
                                   : expectation        ? "expected a number, * or @CLASS"
                                                        : "expected a number or @CLASS") +
                           ", not '" + Excerpt(t.text) + "'"};
  return {MsgParam::Kind::Value, ParseNumber(t, col, !isMsg), {}};
}

}  // namespace

verb::Message ReadMessage(Cursor& c, bool expectation) {
  verb::Message m;
  m.windowClass = c.Word(kClass);
  m.msg = ReadParam(c, expectation, true);
  MsgParam absent{expectation ? MsgParam::Kind::Any : MsgParam::Kind::Value, 0, {}};
  m.wParam = c.AtEnd() ? absent : ReadParam(c, expectation, false);
  m.lParam = c.AtEnd() ? absent : ReadParam(c, expectation, false);
  return m;
}

}  // namespace device::parse
