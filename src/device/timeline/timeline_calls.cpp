// The calls and messages lanes. The daemon's call messages carry no call data (the flags are in
// the daemon), so a call is followed by their order: the first 32786 offers it, 32785 flips the
// talking state, the next 32786 ends it. Notes of the telephony and messaging models are read
// loosely by their words, so the lanes fill in with whatever those models report.
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

// The first run of at least three digits, with a leading + and inner blanks or dashes.
std::string NumberIn(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i])) && text[i] != '+') continue;
    size_t j = i + 1, digits = text[i] == '+' ? 0 : 1;
    while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) ||
                               ((text[j] == ' ' || text[j] == '-') && j + 1 < text.size() &&
                                std::isdigit(static_cast<unsigned char>(text[j + 1]))))) {
      if (std::isdigit(static_cast<unsigned char>(text[j]))) ++digits;
      ++j;
    }
    if (digits >= 3) return std::string(text.substr(i, j - i));
    i = j - 1;
  }
  return {};
}

// `"NAME" sz "TEXT"` of a registry line; empty when the line sets something else.
std::string SzValue(std::string_view text, std::string_view name) {
  std::string quoted = "\"" + std::string(name) + "\" sz \"";
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

std::string CallsLane::Who() const {
  if (!name_.empty() && !number_.empty()) return " " + name_ + " (" + number_ + ")";
  if (!number_.empty()) return " " + number_;
  if (!name_.empty()) return " " + name_;
  return {};
}

void CallsLane::Show(uint64_t t, uint32_t index) {
  if (!inCall_ && !talking_ && !dialing_) return span_.Close(lane_, t);
  if (held_) return span_.Switch(lane_, t, "held", "call on hold" + Who(), index);
  if (talking_) return span_.Switch(lane_, t, "connected", "call connected" + Who(), index);
  if (dialing_) return span_.Switch(lane_, t, "dialing", "dialling" + Who(), index);
  span_.Switch(lane_, t, "offered", "call offered" + Who(), index);
}

void CallsLane::Incoming(uint64_t t, uint32_t index) {
  if (!inCall_ && !ending_) {
    inCall_ = true;
    Mark(lane_, t, "offered", "call offered (32786)" + Who(), index);
  } else {
    inCall_ = talking_ = held_ = ending_ = false;
    Mark(lane_, t, "ended", "call ended (32786)" + Who(), index);
    number_.clear();
    name_.clear();
  }
  Show(t, index);
}

void CallsLane::Talking(uint64_t t, uint32_t index) {
  talking_ = !talking_;
  held_ = false;
  inCall_ = talking_;
  ending_ = !talking_;  // disconnected: the next 32786 ends the call
  Mark(lane_, t, talking_ ? "connected" : "disconnected",
       std::string(talking_ ? "call connected" : "call disconnected") + " (32785)" + Who(), index);
  Show(t, index);
}

void CallsLane::Dialing(uint64_t t, uint32_t index) {
  dialing_ = !dialing_;
  Mark(lane_, t, "dialing", std::string(dialing_ ? "dialling" : "dialling over") + " (32794)",
       index);
  Show(t, index);
}

// A telephony model's own words: "call offered from +4912345", "call on hold", "line idle".
void CallsLane::Note(const sim::TraceEvent& e, uint32_t index) {
  if (IStartsWith(e.text, "power ") || IStartsWith(e.text, "display ")) return;
  std::string text = Lower(e.text);
  if (!Has(text, "call") && !Has(text, "line") && !Has(text, "tapi") && !Has(text, "phone")) return;
  if (std::string n = NumberIn(e.text); !n.empty()) number_ = n;
  if (Has(text, "idle") || Has(text, "ended") || Has(text, "drop") || Has(text, "hang")) {
    inCall_ = talking_ = held_ = dialing_ = ending_ = false;
    number_.clear();
    name_.clear();
  } else if (Has(text, "disconnect")) {
    inCall_ = talking_ = held_ = false;
    ending_ = true;
  } else if (Has(text, "unhold") || Has(text, "resume") || Has(text, "retriev")) {
    held_ = false;
  } else if (Has(text, "hold") || Has(text, "held")) {
    held_ = true;
  } else if (Has(text, "connect") || Has(text, "answer")) {
    talking_ = inCall_ = true;
  } else if (Has(text, "offer") || Has(text, "incoming") || Has(text, "ringing")) {
    inCall_ = true;
  } else if (Has(text, "dial")) {
    dialing_ = true;
  }
  Mark(lane_, e.time, "note", e.text, index);
  Show(e.time, index);
}

void CallsLane::Registry(const sim::TraceEvent& e, uint32_t index) {
  std::string number = SzValue(e.text, "IncomingNumber");
  std::string name = SzValue(e.text, "IncomingName");
  if (number.empty() && name.empty()) return;
  if (!number.empty()) number_ = number;
  if (!name.empty()) name_ = name;
  Mark(lane_, e.time, "caller", "caller" + Who(), index);
  Show(e.time, index);
}

void CallsLane::Add(const sim::TraceEvent& e, uint32_t index) {
  if (PostTo(e, "Dorvane2")) {
    if (e.msg == kMsgIncoming) return Incoming(e.time, index);
    if (e.msg == kMsgTalking) return Talking(e.time, index);
    if (e.msg == kMsgDialing) return Dialing(e.time, index);
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
  if (e.kind == TraceKind::Note) return Note(e, index);
  if (e.kind == TraceKind::Registry) return Registry(e, index);
}

TimelineLane CallsLane::Finish(uint64_t end) {
  span_.Close(lane_, end, true);
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
