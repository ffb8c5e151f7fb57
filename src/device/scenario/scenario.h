// The scenario language: turns the text of a scenario (or one line typed into the shell) into
// steps an executor switches on. A whole file is parsed before anything is played, so a typo on
// line 80 never leaves a device half set up. Pure text processing: no device, no host I/O.
//
// Choices the language leaves open, fixed here:
//  * Negative decimals are accepted for WPARAM, LPARAM and dword data, stored as 32 bits.
//  * `binary HEX` takes an even number of hex digits; `""` is a zero-length value.
//  * `*` is allowed for MSG, WPARAM and LPARAM in expectations; `@CLASS` for WPARAM and LPARAM
//    of `post` and of message expectations.
//  * TEXT and NAME are single words: quote them when they hold blanks; `""` is empty.
//  * Registry roots are matched ignoring case and stored as HKEY_CURRENT_USER\ or
//    HKEY_LOCAL_MACHINE\ followed by the key as written, without trailing backslashes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/win_types.h"

namespace device {

// A 32-bit message number or parameter as written in a scenario.
struct MsgParam {
  enum class Kind { Value, Any, WindowOf };
  Kind kind = Kind::Value;
  uint32_t value = 0;
  // Kind::WindowOf: the handle of this class's top-level window (`post`), or of any that
  // existed when the message was sent (expectations)
  std::string windowClass;

  bool operator==(const MsgParam&) const = default;
};

struct RegData {
  enum class Type { Dword, Binary, Sz };
  Type type = Type::Dword;
  uint32_t dword = 0;
  std::vector<uint8_t> bytes;
  std::string text;  // UTF-8; the executor converts to UTF-16

  bool operator==(const RegData&) const = default;
};

namespace detail {
struct ExpectContext;
struct Verdict;
}  // namespace detail

// What the lines before a line fix about the device, so that a line that cannot be played is
// refused before anything is.
struct ScenarioFacts {
  bool booted = false;
  bool eventSeen = false;
  // The most positions the SIM phonebook can have by now (`sim size` may fail to shrink it);
  // unset: no `sim size` yet, the card's own size.
  std::optional<uint32_t> simPositionsAtMost;
};

// A verb of a device model (calls, PIM, messages, keys, faults ...): parsed by a row of the
// model's own verb table and played or checked by its own code, so that the core language
// needs no change when a model adds verbs.
class ModelStep {
 public:
  enum class Role { Setup, Event, Expectation };
  virtual ~ModelStep() = default;
  virtual Role role() const = 0;
  // The verb needs the device to be a phone (the phone application runs from the start).
  virtual bool needsPhone() const { return false; }
  // The telephony server takes the daemon's lines away (closed or re-initialised).
  virtual bool takesDaemonLines() const { return false; }
  // Checks the step against what the lines before it fix, and adds what it fixes: the reason
  // when it cannot come here (reported at the verb; a parse::Failure thrown names a column).
  virtual std::optional<std::string> Admit(ScenarioFacts& facts) const;
  // Setting-up verbs and events: acts on the device; the reason when it could not be done.
  virtual std::optional<std::string> Play(detail::ExpectContext& ctx) const;
  // Expectations: whether it holds on the device as it is now.
  virtual detail::Verdict Check(detail::ExpectContext& ctx) const;
};

// One struct per verb. Text is UTF-8 as written; registry keys are normalised.
// clang-format off
namespace verb {
struct Clock { SYSTEMTIME time; };  // wDayOfWeek filled in, wMilliseconds 0
struct Boot { uint32_t tick; };
struct FileAdd { std::string path; };
struct FileDelete { std::string path; };
struct Install { std::string path; };
struct RegSet { std::string key, name; RegData data; };
struct RegDelete { std::string key; std::optional<std::string> name; };  // no name: the key
struct Start { std::string program, args; };  // args: the words after PROGRAM, blank-joined
struct Kill { std::string program; };
struct Foreground { std::string program; };
struct Wait { uint64_t ms; };
struct Settle {};
struct Power { std::string state; uint32_t flags; };  // a power manager transition
struct PowerAc { uint8_t lineStatus; };  // 0 off, 1 on, 255 unknown
struct PowerBattery { uint8_t percent; };
struct UserUnlock {};
struct UserOk {};
// Post: WPARAM and LPARAM left out are 0. Expectations: left out is Kind::Any.
struct Message { std::string windowClass; MsgParam msg, wParam, lParam; };
struct Post : Message {};
struct ExpectPosted : Message {};
struct ExpectNoPost : Message {};
struct ExpectReg { std::string key, name; RegData data; };
struct ExpectNoReg { std::string key; std::optional<std::string> name; };
struct ExpectLog { std::string text; };
struct ExpectNoLog { std::string text; };
enum class WindowState { Visible, Hidden, Foreground, Absent };
struct ExpectWindow { std::string windowClass; std::optional<std::string> title; WindowState state; };
struct ExpectRunning { std::string program; };
struct ExpectNotRunning { std::string program; };
struct ExpectLaunched { std::string program; std::optional<std::string> args; };  // none: any
struct ExpectNoLaunch { std::string program; };
struct ExpectTimer { std::string windowClass; uint32_t id; std::optional<uint32_t> period; };
struct ExpectNoTimer { std::string windowClass; uint32_t id; };
struct Model {
  std::shared_ptr<const ModelStep> step;
  bool operator==(const Model&) const = default;
};
}  // namespace verb
// clang-format on

using Action =
    std::variant<verb::Clock, verb::Boot, verb::FileAdd, verb::FileDelete, verb::Install,
                 verb::RegSet, verb::RegDelete, verb::Start, verb::Kill, verb::Foreground,
                 verb::Wait, verb::Settle, verb::Power, verb::PowerAc, verb::PowerBattery,
                 verb::UserUnlock, verb::UserOk, verb::Post, verb::ExpectPosted, verb::ExpectNoPost,
                 verb::ExpectReg, verb::ExpectNoReg, verb::ExpectLog, verb::ExpectNoLog,
                 verb::ExpectWindow, verb::ExpectRunning, verb::ExpectNotRunning,
                 verb::ExpectLaunched, verb::ExpectNoLaunch, verb::ExpectTimer, verb::ExpectNoTimer,
                 verb::Model>;

struct Step {
  int line = 0;        // 1-based
  int column = 1;      // of the verb
  std::string source;  // the line as written, for failure reports
  Action action;
};

struct ParseError {
  int line = 0;
  int column = 0;
  std::string message;
  std::string text;  // "FILE:LINE:COLUMN: message"
};

struct ParseResult {
  std::vector<Step> steps;
  std::optional<ParseError> error;
  bool ok() const { return !error; }
};

// Setting-up verbs (clock, boot, file, install, reg, and model verbs such as fail) as opposed
// to events.
bool IsSetup(const Action& action);

// The ordering rules: clock only before boot and any event, boot only before any event, and
// what model verbs check against the lines before them.
class ScenarioOrder {
 public:
  // Empty when `step` may come now (and records it); otherwise why not.
  std::optional<std::string> Admit(const Step& step);

 private:
  ScenarioFacts facts_;
  uint64_t elapsedMs_ = 0;  // how far boot, wait and settle can move the device clock
};

// Stops at the first error.
ParseResult ParseScenario(std::string_view text, std::string_view fileName);
// The same, one line at a time: `each` gets every step as soon as its line is parsed and
// nothing is kept, so memory does not grow with the scenario. `each` returning false stops.
std::optional<ParseError> ForEachStep(std::string_view text, std::string_view fileName,
                                      const std::function<bool(Step&&)>& each);

// The candidate a misspelt word most likely meant (a letter or two off, case aside), for a
// "did you mean" in an error; nothing when none is close or two are equally close.
std::optional<std::string_view> Nearest(std::string_view word,
                                        std::span<const std::string_view> candidates);

// Every verb, by family, in the order of the language's tables: one line per table, headed by
// what the table is about ("calls: call offer|dial|..., expect call|dialled|no-dialled, ...").
std::vector<std::string> VerbFamilies();

// The same, going on past a bad line (its step is left out) to report up to `maxErrors`.
std::vector<ParseError> ForEachStepChecked(std::string_view text, std::string_view fileName,
                                           const std::function<bool(Step&&)>& each,
                                           size_t maxErrors);

// A word quoted in an error message: the whole word when short, else its first characters and
// "...", so a huge word never floods the terminal.
std::string Excerpt(std::string_view word);

// One line: no step for a blank or comment line. With `order`, the ordering rules are checked
// against the lines admitted before (the shell keeps one across lines).
ParseResult ParseLine(std::string_view line, int lineNo, std::string_view fileName,
                      ScenarioOrder* order = nullptr);
// The same without a list: `step` is set for a line that holds one, and left empty otherwise.
std::optional<ParseError> ParseLineInto(std::string_view line, int lineNo,
                                        std::string_view fileName, ScenarioOrder* order,
                                        std::optional<Step>& step);

}  // namespace device
