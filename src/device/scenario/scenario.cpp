#include "device/scenario/scenario.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <span>

#include "device/scenario/verb_reader.h"
#include "platform/wstr.h"

namespace device {
namespace {

using namespace parse;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Scenario text is UTF-8 like the .reg files: a malformed byte is an error at its column,
// never a character guessed from it.
void CheckUtf8(std::string_view line) {
  const size_t bad = platform::FirstInvalidUtf8(line);
  if (bad == std::string_view::npos) return;
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto b = static_cast<unsigned char>(line[bad]);
  throw Failure{ColumnAt(line, bad), std::string("invalid UTF-8 at byte 0x") + kHex[b >> 4] +
                                         kHex[b & 15] +
                                         " (an overlong, surrogate, stray or cut short sequence)"};
}

std::vector<Token> Tokenize(std::string_view line) {
  std::vector<Token> tokens;
  tokens.reserve(8);
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

// --- The verb table -------------------------------------------------------------------------

// The core verbs. A new verb is a struct, a parse function and a row in a table: here for the
// core, in the model's own verbs file otherwise (listed in AllTables below).
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
       static constexpr std::array<std::string_view, 3> kStates{"on", "off", "unknown"};
       static constexpr uint8_t kLineStatus[] = {1, 0, 255};
       return verb::PowerAc{kLineStatus[c.Choice(kStates, "AC state")]};
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
    {"expect", "window", &ReadExpectWindow},
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

// Every verb table, core first.
const std::vector<std::span<const VerbEntry>>& AllTables() {
  static const std::vector<std::span<const VerbEntry>> tables{
      kVerbs,     ObservationVerbs(), NotifyVerbs(),  KeyVerbs(),    CallVerbs(),
      PimVerbs(), MessageVerbs(),     PromiseVerbs(), WindowVerbs(), TimeVerbs(),
  };
  return tables;
}

// Every verb by its words, and the second words of each family in table order (for errors).
struct VerbIndex {
  std::map<std::pair<std::string_view, std::string_view>, const VerbEntry*> byWords;
  std::map<std::string_view, std::vector<std::string_view>> subs;
  std::vector<std::string_view> firstWords;  // every verb's first word, once
};

const VerbIndex& Index() {
  static const VerbIndex index = [] {
    VerbIndex i;
    for (auto table : AllTables())
      for (const auto& e : table) {
        i.byWords.emplace(std::pair{e.word, e.sub}, &e);  // the first row of two wins
        if (!e.sub.empty()) i.subs[e.word].push_back(e.sub);
        if (std::find(i.firstWords.begin(), i.firstWords.end(), e.word) == i.firstWords.end())
          i.firstWords.push_back(e.word);
      }
    return i;
  }();
  return index;
}

const VerbEntry* FindVerb(std::string_view word, std::string_view sub) {
  auto it = Index().byWords.find({word, sub});
  return it == Index().byWords.end() ? nullptr : it->second;
}

const std::vector<std::string_view>* Family(std::string_view word) {
  auto it = Index().subs.find(word);
  return it == Index().subs.end() ? nullptr : &it->second;
}

Action ParseTokens(std::string_view line, const std::vector<Token>& tokens) {
  const Token& first = tokens[0];
  // A two-word verb wins over a one-word verb of the same first word (`clock set`, `clock`).
  const VerbEntry* e =
      tokens.size() > 1 && !tokens[1].text.empty() ? FindVerb(first.text, tokens[1].text) : nullptr;
  if (e) {
    Cursor c(line, tokens, 2);
    Action a = e->parse(c);
    c.End();
    return a;
  }
  if ((e = FindVerb(first.text, ""))) {
    Cursor c(line, tokens, 1);
    Action a = e->parse(c);
    c.End();
    return a;
  }
  const std::vector<std::string_view>* subs = Family(first.text);
  if (!subs) {
    std::string near = DidYouMean(first.text, Index().firstWords);
    if (!near.empty()) near = "; " + near.substr(0, near.size() - 1);
    throw Failure{ColumnAt(line, first.begin), "unknown verb '" + Excerpt(first.text) + "'" + near};
  }
  Cursor c(line, tokens, 1);
  int col = c.Column();
  if (c.AtEnd()) c.Next("expected " + JoinOr(*subs) + " after " + first.text);
  const Token& sub = c.Next("");
  throw Failure{col, "unknown verb '" + Excerpt(first.text + " " + sub.text) + "'; " +
                         DidYouMean(sub.text, *subs) + "expected " + JoinOr(*subs) + " after " +
                         first.text};
}

}  // namespace

std::vector<std::string> VerbFamilies() {
  static constexpr std::string_view kTitles[] = {"core",          "observation and faults",
                                                 "notifications", "keys",
                                                 "calls",         "PIM",
                                                 "messages",      "promises",
                                                 "windows",       "time"};
  std::vector<std::string> lines;
  const auto& tables = AllTables();
  for (size_t t = 0; t < tables.size(); ++t) {
    std::string line = std::string(t < std::size(kTitles) ? kTitles[t] : "more") + ":";
    std::vector<std::string_view> done;
    for (const VerbEntry& e : tables[t]) {
      if (std::find(done.begin(), done.end(), e.word) != done.end()) continue;
      done.push_back(e.word);
      std::string family;
      for (const VerbEntry& f : tables[t])
        if (f.word == e.word) family += std::string(family.empty() ? "" : "|") + std::string(f.sub);
      line += std::string(done.size() == 1 ? " " : ", ") + std::string(e.word) +
              (family.empty() ? "" : " " + family);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

namespace {

ParseError MakeError(std::string_view fileName, int line, int column, std::string message) {
  ParseError e{line, column, std::move(message), {}};
  e.text = std::string(fileName) + ":" + std::to_string(line) + ":" + std::to_string(column) +
           ": " + e.message;
  return e;
}

}  // namespace

std::optional<std::string> ModelStep::Admit(ScenarioFacts&) const {
  return std::nullopt;
}

bool IsSetup(const Action& a) {
  if (auto* m = std::get_if<verb::Model>(&a)) return m->step->role() == ModelStep::Role::Setup;
  return std::holds_alternative<verb::Clock>(a) || std::holds_alternative<verb::Boot>(a) ||
         std::holds_alternative<verb::FileAdd>(a) || std::holds_alternative<verb::FileDelete>(a) ||
         std::holds_alternative<verb::Install>(a) || std::holds_alternative<verb::RegSet>(a) ||
         std::holds_alternative<verb::RegDelete>(a);
}

// The device clock ends in the year 30827 and a kept clock reaches 9999, so a run moves it
// on by no more than 10000 years (of 365.2425 days).
constexpr uint64_t kMaxRunMs = 10000ull * 31556952000ull;
// A settle lets at most a day and the minute it looks ahead pass.
constexpr uint64_t kSettleMaxMs = 24ull * 3600000 + 60000;

std::optional<std::string> ScenarioOrder::Admit(const Step& step) {
  const bool clock = std::holds_alternative<verb::Clock>(step.action);
  const bool boot = std::holds_alternative<verb::Boot>(step.action);
  if (clock && (facts_.booted || facts_.eventSeen))
    return "clock must come before boot and before any event";
  if (boot && facts_.eventSeen) return "boot must come before any event";
  if (auto* m = std::get_if<verb::Model>(&step.action))
    if (auto why = m->step->Admit(facts_)) return why;
  uint64_t moves = 0;
  if (auto* w = std::get_if<verb::Wait>(&step.action)) moves = w->ms;
  if (boot) moves = std::get<verb::Boot>(step.action).tick;
  if (std::holds_alternative<verb::Settle>(step.action)) moves = kSettleMaxMs;
  if (moves > kMaxRunMs - elapsedMs_)
    return "this takes the device clock past its end: a run may move it on by at most 10000 "
           "years";
  elapsedMs_ += moves;
  if (boot)
    facts_.booted = true;
  else if (!clock && !IsSetup(step.action))
    facts_.eventSeen = true;
  return std::nullopt;
}

std::optional<ParseError> ParseLineInto(std::string_view line, int lineNo,
                                        std::string_view fileName, ScenarioOrder* order,
                                        std::optional<Step>& step) {
  step.reset();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  try {
    CheckUtf8(line);
    std::vector<Token> tokens = Tokenize(line);
    if (tokens.empty()) return std::nullopt;
    size_t begin = tokens.front().begin;
    step =
        Step{lineNo, ColumnAt(line, begin),
             std::string(line.substr(begin, tokens.back().end - begin)), ParseTokens(line, tokens)};
    if (order) {
      if (auto why = order->Admit(*step)) throw Failure{step->column, *why};
    }
  } catch (const Failure& f) {
    step.reset();
    return MakeError(fileName, lineNo, f.column, f.message);
  }
  return std::nullopt;
}

ParseResult ParseLine(std::string_view line, int lineNo, std::string_view fileName,
                      ScenarioOrder* order) {
  ParseResult result;
  std::optional<Step> step;
  result.error = ParseLineInto(line, lineNo, fileName, order, step);
  if (step) result.steps.push_back(std::move(*step));
  return result;
}

ParseResult ParseScenario(std::string_view text, std::string_view fileName) {
  ParseResult result;
  // One step per line at most: the steps are placed once instead of moved as the list grows.
  result.steps.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  result.error = ForEachStep(text, fileName, [&](Step&& s) {
    result.steps.push_back(std::move(s));
    return true;
  });
  if (result.error) result.steps.clear();
  return result;
}

}  // namespace device
