#include "device/scenario.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>

namespace device {
namespace {

// An error at a column of the line being parsed; turned into a ParseError at the top.
struct Failure {
  int column;
  std::string message;
};

struct Token {
  std::string text;  // quotes removed, escapes resolved
  size_t begin = 0;  // byte offsets into the line
  size_t end = 0;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Columns count characters, not bytes, so they match what an editor shows for UTF-8 text.
int ColumnAt(std::string_view line, size_t byte) {
  int col = 1;
  for (size_t i = 0; i < byte && i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
  return col;
}

std::vector<Token> Tokenize(std::string_view line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (IsBlank(line[i])) {
      ++i;
      continue;
    }
    // Every word starts at the line's start or after a blank, so a `#` here opens a comment.
    if (line[i] == '#') break;
    Token t;
    t.begin = i;
    if (line[i] == '"') {
      size_t j = i + 1;
      for (; j < line.size() && line[j] != '"'; ++j) {
        if (line[j] == '\\' && j + 1 < line.size() && (line[j + 1] == '"' || line[j + 1] == '\\'))
          ++j;
        t.text.push_back(line[j]);
      }
      if (j >= line.size()) throw Failure{ColumnAt(line, i), "unterminated quote"};
      i = j + 1;
      if (i < line.size() && !IsBlank(line[i]))
        throw Failure{ColumnAt(line, i), "expected a blank after the closing quote"};
    } else {
      for (; i < line.size() && !IsBlank(line[i]); ++i) {
        if (line[i] == '"')
          throw Failure{ColumnAt(line, i), "unexpected quote inside a word (quote the whole word)"};
        t.text.push_back(line[i]);
      }
    }
    t.end = i;
    tokens.push_back(std::move(t));
  }
  return tokens;
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
      if (d < 0) throw Failure{column, "expected a number, not '" + t.text + "'"};
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFu) throw Failure{column, "number out of range (32 bits): " + t.text};
    }
    return static_cast<uint32_t>(v);
  }
  if (!LooksNumeric(s)) throw Failure{column, "expected a number, not '" + t.text + "'"};
  bool negative = s[0] == '-';
  if (negative && !allowNegative)
    throw Failure{column, "expected a number that is not negative, not '" + t.text + "'"};
  if (negative) s.remove_prefix(1);
  auto v = Decimal(s, negative ? 0x80000000u : 0xFFFFFFFFu);
  if (!v) {
    bool digits = s.find_first_not_of("0123456789") == std::string_view::npos;
    throw Failure{column, digits ? "number out of range (32 bits): " + t.text
                                 : "expected a number, not '" + t.text + "'"};
  }
  return negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(*v))
                  : static_cast<uint32_t>(*v);
}

constexpr const char* kDurationHelp = "expected a duration like 250ms, 3s, 2m or 1h";

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
  if (!v) throw Failure{column, "duration out of range: " + t.text};
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

bool TwoDigits(std::string_view s, size_t at, int& out) {
  if (!IsDigit(s[at]) || !IsDigit(s[at + 1])) return false;
  out = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}

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

// Walks the words after the verb; every read names what it expects, which becomes the error.
class Cursor {
 public:
  Cursor(std::string_view line, const std::vector<Token>& tokens, size_t pos)
      : line_(line), tokens_(tokens), pos_(pos) {}

  bool AtEnd() const { return pos_ >= tokens_.size(); }
  int Column() const { return ColumnAt(line_, AtEnd() ? tokens_.back().end : tokens_[pos_].begin); }
  const Token& Next(std::string_view expected) {
    if (AtEnd()) throw Failure{Column(), std::string(expected)};
    return tokens_[pos_++];
  }
  const Token& Peek() const { return tokens_[pos_]; }
  std::string Word(std::string_view expected) { return Next(expected).text; }

  uint32_t Number(std::string_view expected, bool allowNegative = false) {
    int col = Column();
    return ParseNumber(Next(expected), col, allowNegative);
  }
  uint64_t Duration() {
    int col = Column();
    return ParseDuration(Next(kDurationHelp), col);
  }
  std::string Key() {
    int col = Column();
    return NormaliseKey(Next("expected a registry key like HKCU\\Software\\Vurl"), col);
  }
  std::optional<std::string> OptionalWord() {
    if (AtEnd()) return std::nullopt;
    return Next("").text;
  }
  // The remaining words joined by single blanks: a command line.
  std::string Rest() {
    std::string out;
    for (bool first = true; !AtEnd(); first = false) out += (first ? "" : " ") + Next("").text;
    return out;
  }
  // Picks one of `choices` (its index), naming them all when the word is something else.
  size_t Choice(std::span<const std::string_view> choices, std::string_view what) {
    // The list of choices is written out only for an error.
    if (AtEnd()) throw Failure{Column(), "expected " + std::string(what) + ": " + JoinOr(choices)};
    int col = Column();
    const Token& t = Next("");
    for (size_t i = 0; i < choices.size(); ++i)
      if (t.text == choices[i]) return i;
    throw Failure{
        col, "unknown " + std::string(what) + " '" + t.text + "'; expected " + JoinOr(choices)};
  }
  void End() {
    if (!AtEnd()) throw Failure{Column(), "unexpected extra word '" + Peek().text + "'"};
  }

 private:
  std::string_view line_;
  const std::vector<Token>& tokens_;
  size_t pos_;
};

constexpr const char* kProgram = "expected a program name like fenk.exe";
constexpr const char* kClass = "expected a window class";
constexpr const char* kPath = "expected a device path like \\Program Files\\Vurl\\vurl.exe";
constexpr const char* kText = "expected a text (quote it when it holds blanks)";

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

MsgParam ReadParam(Cursor& c, bool expectation, bool isMsg) {
  int col = c.Column();
  const Token& t = c.Next(isMsg ? "expected a message number" : "expected a parameter");
  if (expectation && t.text == "*") return {MsgParam::Kind::Any, 0, {}};
  if (!expectation && !isMsg && !t.text.empty() && t.text[0] == '@') {
    if (t.text.size() == 1) throw Failure{col, "expected a window class after @"};
    return {MsgParam::Kind::WindowOf, 0, t.text.substr(1)};
  }
  if (!LooksNumeric(t.text))
    throw Failure{col, std::string(expectation ? "expected a number or *"
                                   : isMsg     ? "expected a message number"
                                               : "expected a number or @CLASS") +
                           ", not '" + t.text + "'"};
  return {MsgParam::Kind::Value, ParseNumber(t, col, !isMsg), {}};
}

verb::Message ReadMessage(Cursor& c, bool expectation) {
  verb::Message m;
  m.windowClass = c.Word(kClass);
  m.msg = ReadParam(c, expectation, true);
  MsgParam absent{expectation ? MsgParam::Kind::Any : MsgParam::Kind::Value, 0, {}};
  m.wParam = c.AtEnd() ? absent : ReadParam(c, expectation, false);
  m.lParam = c.AtEnd() ? absent : ReadParam(c, expectation, false);
  return m;
}

// --- The verb table -------------------------------------------------------------------------

// `word` and `sub` are the verb's first and second words (sub empty for one-word verbs);
// `parse` reads what follows them. A new verb is a struct, a parse function and a row here.
struct VerbEntry {
  std::string_view word, sub;
  Action (*parse)(Cursor&);
};

const VerbEntry kVerbs[] = {
    {"clock", "",
     [](Cursor& c) -> Action {
       int dc = c.Column();
       const Token& d = c.Next("expected a date like 2008-06-01");
       int tc = c.Column();
       const Token& t = c.Next("expected a time like 07:00:00");
       return verb::Clock{ParseClock(d, dc, t, tc)};
     }},
    {"boot", "", [](Cursor& c) -> Action { return verb::Boot{c.Number("expected a tick in ms")}; }},
    {"file", "add", [](Cursor& c) -> Action { return verb::FileAdd{c.Word(kPath)}; }},
    {"file", "delete", [](Cursor& c) -> Action { return verb::FileDelete{c.Word(kPath)}; }},
    {"install", "", [](Cursor& c) -> Action { return verb::Install{c.Word(kPath)}; }},
    {"reg", "set",
     [](Cursor& c) -> Action {
       std::string key = c.Key();
       std::string name = c.Word("expected a value name");
       return verb::RegSet{key, name, ReadRegData(c)};
     }},
    {"reg", "delete",
     [](Cursor& c) -> Action {
       std::string key = c.Key();
       return verb::RegDelete{key, c.OptionalWord()};
     }},
    {"start", "",
     [](Cursor& c) -> Action {
       std::string program = c.Word(kProgram);
       return verb::Start{program, c.Rest()};
     }},
    {"kill", "", [](Cursor& c) -> Action { return verb::Kill{c.Word(kProgram)}; }},
    {"foreground", "", [](Cursor& c) -> Action { return verb::Foreground{c.Word(kProgram)}; }},
    {"wait", "", [](Cursor& c) -> Action { return verb::Wait{c.Duration()}; }},
    {"settle", "", [](Cursor&) -> Action { return verb::Settle{}; }},
    {"power", "on",
     [](Cursor&) -> Action {
       return verb::Power{"on", 0x00010000};
     }},
    {"power", "idle",
     [](Cursor&) -> Action {
       return verb::Power{"screenoff", 0x00100000};
     }},
    {"power", "suspend",
     [](Cursor&) -> Action {
       return verb::Power{"suspend", 0x00200000};
     }},
    {"power", "unattended",
     [](Cursor&) -> Action {
       return verb::Power{"unattended", 0x00400000};
     }},
    {"power", "password",
     [](Cursor&) -> Action {
       return verb::Power{"password", 0x10010000};
     }},
    {"power", "resuming",
     [](Cursor&) -> Action {
       return verb::Power{"resuming", 0x00010000};
     }},
    {"power", "state",
     [](Cursor& c) -> Action {
       std::string name = c.Word("expected a power state name");
       return verb::Power{name, c.Number("expected transition flags like 0x00010000")};
     }},
    {"power", "ac",
     [](Cursor& c) -> Action {
       static constexpr std::array<std::string_view, 2> kOnOff{"on", "off"};
       return verb::PowerAc{c.Choice(kOnOff, "AC state") == 0};
     }},
    {"power", "battery",
     [](Cursor& c) -> Action {
       int col = c.Column();
       uint32_t n = c.Number("expected a battery percentage from 0 to 255");
       if (n > 255) throw Failure{col, "expected a battery percentage from 0 to 255"};
       return verb::PowerBattery{static_cast<uint8_t>(n)};
     }},
    {"user", "unlock", [](Cursor&) -> Action { return verb::UserUnlock{}; }},
    {"user", "ok", [](Cursor&) -> Action { return verb::UserOk{}; }},
    {"post", "", [](Cursor& c) -> Action { return verb::Post{ReadMessage(c, false)}; }},
    {"expect", "posted",
     [](Cursor& c) -> Action { return verb::ExpectPosted{ReadMessage(c, true)}; }},
    {"expect", "no-post",
     [](Cursor& c) -> Action { return verb::ExpectNoPost{ReadMessage(c, true)}; }},
    {"expect", "reg",
     [](Cursor& c) -> Action {
       std::string key = c.Key();
       std::string name = c.Word("expected a value name");
       return verb::ExpectReg{key, name, ReadRegData(c)};
     }},
    {"expect", "no-reg",
     [](Cursor& c) -> Action {
       std::string key = c.Key();
       return verb::ExpectNoReg{key, c.OptionalWord()};
     }},
    {"expect", "log", [](Cursor& c) -> Action { return verb::ExpectLog{c.Word(kText)}; }},
    {"expect", "no-log", [](Cursor& c) -> Action { return verb::ExpectNoLog{c.Word(kText)}; }},
    {"expect", "window",
     [](Cursor& c) -> Action {
       static constexpr std::array<std::string_view, 4> kStates{"visible", "hidden", "foreground",
                                                                "absent"};
       std::string cls = c.Word(kClass);
       return verb::ExpectWindow{cls,
                                 static_cast<verb::WindowState>(c.Choice(kStates, "window state"))};
     }},
    {"expect", "running",
     [](Cursor& c) -> Action { return verb::ExpectRunning{c.Word(kProgram)}; }},
    {"expect", "not-running",
     [](Cursor& c) -> Action { return verb::ExpectNotRunning{c.Word(kProgram)}; }},
    {"expect", "launched",
     [](Cursor& c) -> Action {
       std::string program = c.Word(kProgram);
       std::optional<std::string> args;
       if (!c.AtEnd()) args = c.Rest();
       return verb::ExpectLaunched{program, args};
     }},
    {"expect", "no-launch",
     [](Cursor& c) -> Action { return verb::ExpectNoLaunch{c.Word(kProgram)}; }},
    {"expect", "timer",
     [](Cursor& c) -> Action {
       std::string cls = c.Word(kClass);
       uint32_t id = c.Number("expected a timer id");
       std::optional<uint32_t> period;
       if (!c.AtEnd()) period = c.Number("expected a period in ms");
       return verb::ExpectTimer{cls, id, period};
     }},
    {"expect", "no-timer",
     [](Cursor& c) -> Action {
       std::string cls = c.Word(kClass);
       return verb::ExpectNoTimer{cls, c.Number("expected a timer id")};
     }},
};

// The second words of a verb family, for errors.
std::string SubVerbList(std::string_view word) {
  std::vector<std::string_view> subs;
  for (const auto& e : kVerbs)
    if (e.word == word) subs.push_back(e.sub);
  return JoinOr(subs);
}

Action ParseTokens(std::string_view line, const std::vector<Token>& tokens) {
  const Token& first = tokens[0];
  bool family = false;
  for (const auto& e : kVerbs) {
    if (e.word != first.text) continue;
    if (e.sub.empty()) {
      Cursor c(line, tokens, 1);
      Action a = e.parse(c);
      c.End();
      return a;
    }
    family = true;
  }
  if (!family) throw Failure{ColumnAt(line, first.begin), "unknown verb '" + first.text + "'"};
  Cursor c(line, tokens, 1);
  int col = c.Column();
  const Token& sub = c.Next("expected " + SubVerbList(first.text) + " after " + first.text);
  for (const auto& e : kVerbs) {
    if (e.word != first.text || e.sub != sub.text) continue;
    Action a = e.parse(c);
    c.End();
    return a;
  }
  throw Failure{col, "unknown verb '" + first.text + " " + sub.text + "'; expected " +
                         SubVerbList(first.text) + " after " + first.text};
}

ParseError MakeError(std::string_view fileName, int line, int column, std::string message) {
  ParseError e{line, column, std::move(message), {}};
  e.text = std::string(fileName) + ":" + std::to_string(line) + ":" + std::to_string(column) +
           ": " + e.message;
  return e;
}

}  // namespace

bool IsSetup(const Action& a) {
  return std::holds_alternative<verb::Clock>(a) || std::holds_alternative<verb::Boot>(a) ||
         std::holds_alternative<verb::FileAdd>(a) || std::holds_alternative<verb::FileDelete>(a) ||
         std::holds_alternative<verb::Install>(a) || std::holds_alternative<verb::RegSet>(a) ||
         std::holds_alternative<verb::RegDelete>(a);
}

std::optional<std::string> ScenarioOrder::Admit(const Step& step) {
  if (std::holds_alternative<verb::Clock>(step.action)) {
    if (booted_ || eventSeen_) return "clock must come before boot and before any event";
  } else if (std::holds_alternative<verb::Boot>(step.action)) {
    if (eventSeen_) return "boot must come before any event";
    booted_ = true;
  } else if (!IsSetup(step.action)) {
    eventSeen_ = true;
  }
  return std::nullopt;
}

ParseResult ParseLine(std::string_view line, int lineNo, std::string_view fileName,
                      ScenarioOrder* order) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ParseResult result;
  try {
    std::vector<Token> tokens = Tokenize(line);
    if (tokens.empty()) return result;
    size_t begin = tokens.front().begin;
    Step step{lineNo, ColumnAt(line, begin),
              std::string(line.substr(begin, tokens.back().end - begin)),
              ParseTokens(line, tokens)};
    if (order) {
      if (auto why = order->Admit(step)) throw Failure{step.column, *why};
    }
    result.steps.push_back(std::move(step));
  } catch (const Failure& f) {
    result.error = MakeError(fileName, lineNo, f.column, f.message);
  }
  return result;
}

ParseResult ParseScenario(std::string_view text, std::string_view fileName) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // UTF-8 byte order mark
  ParseResult result;
  // One step per line at most: the steps are placed once instead of moved as the list grows.
  result.steps.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  ScenarioOrder order;
  int lineNo = 0;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    ParseResult one = ParseLine(line, ++lineNo, fileName, &order);
    if (!one.ok()) return {{}, std::move(one.error)};
    for (auto& s : one.steps) result.steps.push_back(std::move(s));
  }
  return result;
}

}  // namespace device
