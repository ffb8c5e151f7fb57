// Pieces shared by the timeline's lane readers: the open span of a lane and adding marks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "device/timeline/timeline.h"

namespace device::timeline {

// Message numbers the lanes read; the daemon's own names are in src/app/messages.h, which the
// device side may not include.
constexpr uint32_t kMsgTalking = 32785;
constexpr uint32_t kMsgIncoming = 32786;
constexpr uint32_t kMsgUnlock = 32792;
constexpr uint32_t kMsgLock = 32793;
constexpr uint32_t kMsgDialing = 32794;
constexpr uint32_t kMsgEndCall = 32776;
constexpr uint32_t kMsgRunCaller = 32801;
constexpr uint32_t kMsgCallGone = 32805;
constexpr uint32_t kMsgLockState = 32841;
constexpr uint32_t kMsgHangUpRinging = 32845;
constexpr uint32_t kMsgReminderLocked = 32851;
constexpr uint32_t kMsgNewMessageWake = 32852;
constexpr uint32_t kMsgRepeatLock = 32854;

// The state a lane is in since some time; one per lane row.
class OpenSpan {
 public:
  explicit OpenSpan(int row = 0) : row_(row) {}
  // Ends the current span at `t` and begins `state`; nothing when state and label stay.
  void Switch(TimelineLane& lane, uint64_t t, std::string state, std::string label, uint32_t event);
  // Ends the current span at `t`; a span that lasted no time is dropped unless `keepEmpty`.
  void Close(TimelineLane& lane, uint64_t t, bool keepEmpty = false);
  bool open() const { return open_; }
  const std::string& state() const { return span_.state; }

 private:
  bool open_ = false;
  int row_;
  TimelineSpan span_;
};

// Adds a mark, or joins the lane's last mark when it has the same time and kind.
void Mark(TimelineLane& lane, uint64_t t, std::string_view kind, std::string label, uint32_t event);

bool IEqualsAscii(std::string_view a, std::string_view b);
bool IStartsWith(std::string_view text, std::string_view prefix);
std::string Lower(std::string_view text);
// The executable name at the start of a command line ("vurl.exe -hide" -> "vurl.exe").
std::string_view ProgramOf(std::string_view commandLine);

// Calls: each call of the telephony model on a row of its own, from the model's notes
// ("call 2 offered", "call 2 caller +49...", "call 2 CONNECTED", "call 2 IDLE"); the daemon's
// call messages and what it showed of the caller are marks beside them.
class CallsLane {
 public:
  CallsLane() : lane_{"calls", "Calls", {}, {}, 1} {}
  void Add(const sim::TraceEvent& e, uint32_t index);
  TimelineLane Finish(uint64_t end);

 private:
  struct Call {
    explicit Call(int r) : span(r), row(r) {}
    OpenSpan span;
    int row;
    bool outgoing = false;
    std::string party;  // the number, "withheld" or "unknown"
    std::string name;   // as the daemon found it among the contacts
  };
  bool ModelNote(const sim::TraceEvent& e, uint32_t index);
  void Registry(const sim::TraceEvent& e, uint32_t index);
  Call& Begin(int number);
  void Release(int number, uint64_t t);
  std::string Who(const Call& c) const;

  TimelineLane lane_;
  std::map<int, Call> calls_;  // calls not yet idle, by the model's call number
  std::vector<bool> rowBusy_;
};

class MessagesLane {
 public:
  MessagesLane() : lane_{"messages", "Messages and counters", {}, {}, 1} {}
  void Add(const sim::TraceEvent& e, uint32_t index);
  TimelineLane Finish(uint64_t end);

 private:
  void Counter(const sim::TraceEvent& e, uint32_t index, std::string_view what);
  std::string Unread() const;

  TimelineLane lane_;
  OpenSpan span_;
  std::map<uint32_t, int32_t> counts_;  // by message number, as last sent to the slide screen
};

}  // namespace device::timeline
