// The calls and messages lanes. A call is followed by the telephony model's own notes, which
// name the call; the daemon's call messages carry no call data (the flags are in the daemon), so
// they are marks only. Notes of the messaging models are read loosely by their words.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <utility>

#include "device/timeline/timeline_internal.h"

namespace device::timeline {

namespace {

using sim::TraceKind;

bool PostTo(const sim::TraceEvent& e, std::string_view cls) {
  return (e.kind == TraceKind::Post || e.kind == TraceKind::Send) && e.cls == cls;
}

bool Has(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

// `"NAME" sz "TEXT"` of a registry line; empty when the line sets something else.
std::string SzValue(std::string_view text, std::string_view name) {
  std::string quoted(1, '"');
  (quoted += name) += "\" sz \"";
  size_t at = text.find(quoted);
  if (at == std::string_view::npos) return {};
  std::string_view rest = text.substr(at + quoted.size());
  if (!rest.empty() && rest.back() == '"') rest.remove_suffix(1);
  return std::string(rest);
}

struct Counter {
  uint32_t msg;
  const char* what;
};

constexpr std::array<Counter, 9> kCounters{{{32779, "missed calls"},
                                            {32780, "SMS"},
                                            {32781, "MMS"},
                                            {32782, "voice mail"},
                                            {32783, "e-mail"},
                                            {32796, "tasks"},
                                            {32822, "second mail store"},
                                            {32823, "instant messages"},
                                            {32849, "reminders"}}};

const char* CounterName(uint32_t msg) {
  for (const Counter& c : kCounters)
    if (c.msg == msg) return c.what;
  return nullptr;
}

}  // namespace

// --- Calls -----------------------------------------------------------------------------------

std::string CallsLane::Who(const Call& c) const {
  std::string who = c.outgoing ? " to " : " from ";
  if (!c.name.empty() && !c.party.empty()) return who + c.name + " (" + c.party + ")";
  if (!c.party.empty()) return who + c.party;
  if (!c.name.empty()) return who + c.name;
  return {};
}

CallsLane::Call& CallsLane::Begin(int number) {
  auto it = calls_.find(number);
  if (it != calls_.end()) return it->second;
  auto free = std::find(rowBusy_.begin(), rowBusy_.end(), false);
  int row = static_cast<int>(free - rowBusy_.begin());
  if (free == rowBusy_.end())
    rowBusy_.push_back(true);
  else
    *free = true;
  lane_.rows = std::max(lane_.rows, static_cast<int>(rowBusy_.size()));
  return calls_.emplace(number, Call(row)).first->second;
}

void CallsLane::Release(int number, uint64_t t) {
  auto it = calls_.find(number);
  if (it == calls_.end()) return;
  it->second.span.Close(lane_, t);
  rowBusy_[static_cast<size_t>(it->second.row)] = false;
  calls_.erase(it);
}

// "call N WORD ...": the telephony model's own account of call N.
bool CallsLane::ModelNote(const sim::TraceEvent& e, uint32_t index) {
  std::string_view text = e.text;
  if (!text.starts_with("call ")) return false;
  text.remove_prefix(5);
  size_t digits = 0;
  int number = 0;
  while (digits < text.size() && digits < 9 &&
         std::isdigit(static_cast<unsigned char>(text[digits])))
    number = number * 10 + (text[digits++] - '0');
  if (digits == 0 || digits >= text.size() || text[digits] != ' ') return false;
  text.remove_prefix(digits + 1);
  const std::string_view word = text.substr(0, text.find(' '));
  const std::string_view rest =
      word.size() < text.size() ? text.substr(word.size() + 1) : std::string_view();
  const std::string call = "call " + std::to_string(number);
  const uint64_t t = e.time;

  if (word == "IDLE" || word == "failed") {
    if (calls_.count(number))
      Mark(lane_, t, "ended", call + (word == "failed" ? " failed " + std::string(rest) : " ended"),
           index);
    Release(number, t);
    return true;
  }
  if (word == "DISCONNECTED") {
    if (auto it = calls_.find(number); it != calls_.end()) {
      it->second.span.Close(lane_, t);
      Mark(lane_, t, "disconnected", call + " disconnected", index);
    }
    return true;
  }
  Call& c = Begin(number);
  if (word == "offered") {
    Mark(lane_, t, "offered", call + " offered", index);
  } else if (word == "placed") {
    c.outgoing = true;
    if (rest.starts_with("to ")) c.party = std::string(rest.substr(3));
    Mark(lane_, t, "dialing", call + " placed" + Who(c), index);
  } else if (word == "caller") {
    c.party = std::string(rest);
    Mark(lane_, t, "caller", call + " caller " + c.party, index);
  }
  // The span shows the state; a caller's number relabels it.
  struct Shown {
    std::string_view word, state, text;
  };
  static constexpr Shown kShown[] = {{"offered", "offered", "ringing"},
                                     {"OFFERING", "offered", "ringing"},
                                     {"placed", "dialing", "dialling"},
                                     {"DIALING", "dialing", "dialling"},
                                     {"PROCEEDING", "dialing", "dialling"},
                                     {"BUSY", "dialing", "busy"},
                                     {"SPECIALINFO", "dialing", "no service"},
                                     {"CONNECTED", "connected", "connected"},
                                     {"ONHOLD", "held", "on hold"}};
  std::string_view state, what;
  for (const Shown& s : kShown)
    if (word == s.word) state = s.state, what = s.text;
  if (word == "CONNECTED" || word == "ONHOLD" || word == "BUSY")
    Mark(lane_, t, "connected", call + " " + std::string(what) + Who(c), index);
  if (word == "caller" && c.span.open()) {
    state = c.span.state();
    what = c.span.state() == "connected" ? "connected"
           : c.span.state() == "held"    ? "on hold"
                                         : "ringing";
  }
  if (!state.empty())
    c.span.Switch(lane_, t, std::string(state), call + " " + std::string(what) + Who(c), index);
  return true;
}

void CallsLane::Registry(const sim::TraceEvent& e, uint32_t index) {
  std::string number = SzValue(e.text, "IncomingNumber");
  std::string name = SzValue(e.text, "IncomingName");
  if (number.empty() && name.empty()) return;
  // The daemon shows the caller of the newest call still ringing or talking.
  if (!name.empty() && !calls_.empty()) calls_.rbegin()->second.name = name;
  Mark(lane_, e.time, "caller", "caller shown: " + (number.empty() ? name : number), index);
}

void CallsLane::Add(const sim::TraceEvent& e, uint32_t index) {
  if (PostTo(e, "Dorvane2")) {
    if (e.msg == kMsgIncoming)
      return Mark(lane_, e.time, "note", "call message to the daemon (32786)", index);
    if (e.msg == kMsgTalking)
      return Mark(lane_, e.time, "note", "talking message to the daemon (32785)", index);
    if (e.msg == kMsgDialing)
      return Mark(lane_, e.time, "note", "dialling message to the daemon (32794)", index);
    return;
  }
  if (PostTo(e, "Vurl")) {
    if (e.msg == kMsgRunCaller)
      return Mark(lane_, e.time, "handed", "call handed to the slide screen (32801)", index);
    if (e.msg == kMsgEndCall)
      return Mark(lane_, e.time, "handed", "end of call told to the slide screen (32776)", index);
    if (e.msg == kMsgCallGone)
      return Mark(lane_, e.time, "handed", "disconnection told to the slide screen (32805)", index);
    if (e.msg == kMsgHangUpRinging)
      return Mark(lane_, e.time, "handed", "power button hung up the ringing call (32845)", index);
    return;
  }
  if (e.kind == TraceKind::Registry) return Registry(e, index);
  if (e.kind != TraceKind::Note || ModelNote(e, index)) return;
  // Other words of the phone side ("lineMakeCall 5551234", "line server asks for
  // re-initialisation"); the line callbacks are too many to mark and say nothing of the call.
  if (IStartsWith(e.text, "tapi callback") || IStartsWith(e.text, "power ") ||
      IStartsWith(e.text, "display "))
    return;
  std::string text = Lower(e.text);
  if (Has(text, "call") || Has(text, "line") || Has(text, "phone"))
    Mark(lane_, e.time, "note", e.text, index);
}

TimelineLane CallsLane::Finish(uint64_t end) {
  for (auto& [number, c] : calls_) c.span.Close(lane_, end, true);
  calls_.clear();
  return std::move(lane_);
}

// --- Messages and counters -------------------------------------------------------------------

std::string MessagesLane::Unread() const {
  std::string text;
  for (const auto& [msg, count] : counts_) {
    if (count <= 0) continue;
    text +=
        (text.empty() ? "" : ", ") + std::string(CounterName(msg)) + " " + std::to_string(count);
  }
  return text;
}

void MessagesLane::Counter(const sim::TraceEvent& e, uint32_t index, std::string_view what) {
  int32_t now = static_cast<int32_t>(e.wParam);
  auto [it, added] = counts_.try_emplace(e.msg, 0);
  if (!added && it->second == now) return;
  if (added && now == 0) return;
  int32_t was = it->second;
  it->second = now;
  Mark(lane_, e.time, "counter",
       std::string(what) + " " + std::to_string(now) + " (was " + std::to_string(was) + ")", index);
  std::string unread = Unread();
  if (unread.empty())
    span_.Close(lane_, e.time);
  else
    span_.Switch(lane_, e.time, "unread", "unread: " + unread, index);
}

void MessagesLane::Add(const sim::TraceEvent& e, uint32_t index) {
  if (PostTo(e, "Vurl")) {
    if (const char* what = CounterName(e.msg)) return Counter(e, index, what);
    if (e.msg == kMsgNewMessageWake) {
      static constexpr const char* kStores[] = {"SMS", "MMS", "e-mail"};
      std::string store = e.wParam < 3 ? kStores[e.wParam] : std::to_string(e.wParam);
      return Mark(lane_, e.time, "wake", "new " + store + " woke the phone (32852)", index);
    }
    if (e.msg == kMsgRepeatLock)
      return Mark(lane_, e.time, "request", "slide screen asked to repeat the lock (32854)", index);
    if (e.msg == kMsgReminderLocked)
      return Mark(lane_, e.time, "wake",
                  std::to_string(e.wParam) + " reminders shown while locked (32851)", index);
    return;
  }
  if (e.kind == TraceKind::Registry &&
      (Has(e.text, "\\Zeq\\Vurl\\SMS") || Has(e.text, "\\Zeq\\Vurl\\MMS") ||
       Has(e.text, "\\Zeq\\Vurl\\Message"))) {
    return Mark(lane_, e.time, "preview", "preview exported: " + e.text, index);
  }
  if (e.kind == TraceKind::Note && !IStartsWith(e.text, "power ") &&
      !IStartsWith(e.text, "display ")) {
    std::string text = Lower(e.text);
    if (Has(text, "sms") || Has(text, "mms") || Has(text, "message") || Has(text, "mail"))
      Mark(lane_, e.time, "note", e.text, index);
  }
}

TimelineLane MessagesLane::Finish(uint64_t end) {
  span_.Close(lane_, end, true);
  return std::move(lane_);
}

}  // namespace device::timeline
