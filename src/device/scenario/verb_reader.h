// What every verb table of the scenario language reads its words with: the words of a line,
// the cursor over them, and the readers of numbers, durations, keys and messages. The core
// verbs and each device model's verbs are tables of rows built from these.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/scenario/scenario.h"

namespace device::parse {

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

// Columns count characters, not bytes, so they match what an editor shows for UTF-8 text.
int ColumnAt(std::string_view line, size_t byte);

bool IsDigit(char c);
int HexDigit(char c);
bool LooksNumeric(std::string_view s);
// A 32-bit number: decimal, 0x hex, or (when `allowNegative`) a negative decimal stored as its
// two's complement, so -1 is 0xFFFFFFFF.
uint32_t ParseNumber(const Token& t, int column, bool allowNegative);
uint64_t ParseDuration(const Token& t, int column);
std::vector<uint8_t> ParseHexBytes(const Token& t, int column);
std::string NormaliseKey(const Token& t, int column);
SYSTEMTIME ParseClock(const Token& date, int dateColumn, const Token& time, int timeColumn);
// The same with the time written HH:MM or HH:MM:SS; errors quote the time as written.
SYSTEMTIME ParseDateAndTime(const Token& date, int dateColumn, const Token& time, int timeColumn);
// "a, b or c": the alternatives an error names.
std::string JoinOr(std::span<const std::string_view> words);
// "did you mean 'b'? " when `word` is a near miss of one of `words`; else empty.
std::string DidYouMean(std::string_view word, std::span<const std::string_view> words);

extern const char* const kDurationHelp;

// Walks the words after the verb; every read names what it expects, which becomes the error.
class Cursor {
 public:
  Cursor(std::string_view line, const std::vector<Token>& tokens, size_t pos)
      : line_(line), tokens_(tokens), pos_(pos) {}

  bool AtEnd() const { return pos_ >= tokens_.size(); }
  bool AtLast() const { return pos_ + 1 == tokens_.size(); }
  int Column() const { return ColumnAt(line_, AtEnd() ? tokens_.back().end : tokens_[pos_].begin); }
  const Token& Next(std::string_view expected) {
    if (AtEnd()) throw Failure{Column(), std::string(expected)};
    return tokens_[pos_++];
  }
  const Token& Peek(size_t ahead = 0) const { return tokens_[pos_ + ahead]; }
  // How many words are still to be read.
  size_t Left() const { return AtEnd() ? 0 : tokens_.size() - pos_; }
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
    int col = Column();
    // The list is made only for an error: a good line costs no text.
    if (AtEnd()) Next("expected " + std::string(what) + ": " + JoinOr(choices));
    const Token& t = Next("");
    for (size_t i = 0; i < choices.size(); ++i)
      if (t.text == choices[i]) return i;
    throw Failure{col, "unknown " + std::string(what) + " '" + Excerpt(t.text) + "'; " +
                           DidYouMean(t.text, choices) + "expected " + JoinOr(choices)};
  }
  void End() {
    if (!AtEnd()) throw Failure{Column(), "unexpected extra word '" + Excerpt(Peek().text) + "'"};
  }

 private:
  std::string_view line_;
  const std::vector<Token>& tokens_;
  size_t pos_;
};

extern const char* const kProgram;
extern const char* const kClass;
extern const char* const kPath;
extern const char* const kText;

RegData ReadRegData(Cursor& c);
verb::Message ReadMessage(Cursor& c, bool expectation);
// `expect window`: the core states and the window verbs' geometry, style and stacking.
Action ReadExpectWindow(Cursor& c);

// A model verb's step as the Action a table row returns.
template <class Step, class... A>
Action Make(A&&... args) {
  return verb::Model{std::make_shared<const Step>(Step{std::forward<A>(args)...})};
}

// One row of a verb table: `word` and `sub` are the verb's first and second words (sub empty
// for one-word verbs); `parse` reads what follows them.
struct VerbEntry {
  std::string_view word, sub;
  Action (*parse)(Cursor&);
};

// The verb tables of the device models, each in a file of its own.
std::span<const VerbEntry> ObservationVerbs();
std::span<const VerbEntry> NotifyVerbs();
std::span<const VerbEntry> KeyVerbs();
std::span<const VerbEntry> CallVerbs();
std::span<const VerbEntry> PimVerbs();
std::span<const VerbEntry> MessageVerbs();
std::span<const VerbEntry> PromiseVerbs();
std::span<const VerbEntry> WindowVerbs();
std::span<const VerbEntry> TimeVerbs();

}  // namespace device::parse
