// Reads the trace into lanes: each lane keeps the little state it needs (is the display on, is
// the slide screen in front, which daemon timers are armed) and turns the events that change it
// into spans and marks.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <utility>

#include "device/timeline/timeline_internal.h"

namespace device {

namespace timeline {

using sim::TraceKind;

// --- Shared pieces ---------------------------------------------------------------------------

void OpenSpan::Switch(TimelineLane& lane, uint64_t t, std::string state, std::string label,
                      uint32_t event) {
  if (open_ && span_.state == state && span_.label == label) return;
  Close(lane, t);
  span_ = TimelineSpan{t, t, std::move(state), std::move(label), event, row_};
  open_ = true;
}

void OpenSpan::Close(TimelineLane& lane, uint64_t t, bool keepEmpty) {
  if (!open_) return;
  open_ = false;
  span_.end = std::max(t, span_.start);
  if (span_.end > span_.start || keepEmpty) lane.spans.push_back(std::move(span_));
}

void Mark(TimelineLane& lane, uint64_t t, std::string_view kind, std::string label,
          uint32_t event) {
  if (!lane.marks.empty()) {
    TimelineMark& last = lane.marks.back();
    if (last.time == t && last.kind == kind) {
      if (last.label != label) last.label += "; " + label;
      last.events.push_back(event);
      return;
    }
  }
  lane.marks.push_back(TimelineMark{t, std::string(kind), std::move(label), {event}});
}

bool IEqualsAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && IStartsWith(a, b);
}

bool IStartsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view ProgramOf(std::string_view commandLine) {
  std::string_view exe = commandLine.substr(0, commandLine.find(' '));
  size_t slash = exe.find_last_of("\\/");
  return slash == std::string_view::npos ? exe : exe.substr(slash + 1);
}

namespace {

// Power manager flags of a transition, as the daemon reads them.
constexpr uint32_t kPowerOn = 0x00010000;
constexpr uint32_t kPowerDisplayOff = 0x00100000 | 0x00200000 | 0x00400000;  // idle, suspend,
                                                                             // unattended
// Fires of one arming drawn as marks; a timer left running longer says how often it fired in
// its bar instead, so that a fast timer left armed all day cannot swamp the page.
constexpr uint64_t kMaxFireMarks = 100;
// Lines of the trace behind a failure's mark, as in the runner's failure report.
constexpr size_t kFailureTail = 6;

uint32_t HexAfter(std::string_view text, std::string_view key) {
  size_t at = text.find(key);
  if (at == std::string_view::npos) return 0;
  return static_cast<uint32_t>(
      std::strtoul(std::string(text.substr(at + key.size())).c_str(), nullptr, 16));
}

uint32_t NumberAfter(std::string_view text, std::string_view key) {
  size_t at = text.find(key);
  if (at == std::string_view::npos) return 0;
  return static_cast<uint32_t>(
      std::strtoul(std::string(text.substr(at + key.size())).c_str(), nullptr, 10));
}

bool HidesWindow(uint32_t showCommand) {
  // SW_HIDE, SW_SHOWMINIMIZED, SW_MINIMIZE, SW_SHOWMINNOACTIVE, SW_FORCEMINIMIZE
  return showCommand == 0 || showCommand == 2 || showCommand == 6 || showCommand == 7 ||
         showCommand == 11;
}

}  // namespace

// --- Display, lock, slide screen, power ------------------------------------------------------

struct StateLanes {
  TimelineLane display{"display", "Display", {}, {}, 1};
  TimelineLane lock{"lock", "Lock", {}, {}, 1};
  TimelineLane slide{"slide", "Slide screen", {}, {}, 1};
  TimelineLane power{"power", "Power and battery", {}, {}, 1};
  OpenSpan displaySpan, lockSpan, slideSpan, powerSpan;
  bool started = false;
  bool slideRunning = false, slideVisible = false, slideFront = false;

  void Display(const sim::TraceEvent& e, uint32_t i) {
    if (IStartsWith(e.text, "power transition ")) {
      uint32_t flags = HexAfter(e.text, " 0x");
      std::string what = e.text.substr(17);
      if (flags & kPowerOn) {
        displaySpan.Switch(display, e.time, "on", "display on", i);
      } else if (flags & kPowerDisplayOff) {
        displaySpan.Switch(display, e.time, "off", "display off (" + what + ")", i);
      }
      Mark(display, e.time, "power", "power manager: " + what, i);
    } else if (IStartsWith(e.text, "display power ")) {
      bool on = NumberAfter(e.text, "display power ") == 1;  // VideoPowerOn; 2-4 are off
      displaySpan.Switch(display, e.time, on ? "on" : "off",
                         on ? "display on" : "display switched off by " + e.actor, i);
      Mark(display, e.time, "switch",
           e.actor + (on ? " switched the display on" : " switched the display off"), i);
    }
  }

  void Lock(const sim::TraceEvent& e, uint32_t i) {
    if (e.cls == "Vurl" && e.msg == kMsgLockState) {
      bool locked = e.wParam != 0;
      lockSpan.Switch(lock, e.time, locked ? "locked" : "unlocked", locked ? "locked" : "unlocked",
                      i);
      Mark(lock, e.time, "state", locked ? "locked (32841 1)" : "unlocked (32841 0)", i);
    } else if (e.cls == "Dorvane2" && (e.msg == kMsgLock || e.msg == kMsgUnlock)) {
      Mark(lock, e.time, "request",
           std::string(e.msg == kMsgLock ? "lock" : "unlock") + " reported by " + e.actor +
               (e.msg == kMsgLock ? " (32793)" : " (32792)"),
           i);
    } else if (e.cls == "Vurl" && e.msg == kMsgUnlock) {
      Mark(lock, e.time, "request", "delayed unlock asked of the slide screen (32792)", i);
    }
  }

  void ShowSlide(uint64_t t, uint32_t i) {
    if (!slideRunning) return slideSpan.Switch(slide, t, "absent", "not running", i);
    if (!slideVisible) return slideSpan.Switch(slide, t, "hidden", "running, hidden", i);
    if (slideFront) return slideSpan.Switch(slide, t, "front", "in front", i);
    slideSpan.Switch(slide, t, "visible", "visible, not in front", i);
  }

  void Slide(const sim::TraceEvent& e, uint32_t i) {
    bool vurl = e.cls == "Vurl";
    std::string label;
    switch (e.kind) {
      case TraceKind::Launch:
        if (!IEqualsAscii(ProgramOf(e.text), "vurl.exe")) return;
        slideRunning = true;
        label = "started: " + e.text;
        break;
      case TraceKind::Exit:
        if (!IEqualsAscii(e.actor, "vurl.exe")) return;
        slideRunning = slideVisible = slideFront = false;
        label = "ended, code " + std::to_string(e.value);
        break;
      case TraceKind::Create:
        if (!vurl) return;
        slideRunning = true;
        label = "window created";
        break;
      case TraceKind::Destroy:
        if (!vurl) return;
        slideVisible = slideFront = false;
        label = "window destroyed";
        break;
      case TraceKind::Show:
        if (!vurl) return;
        slideVisible = !HidesWindow(e.value);
        if (!slideVisible) slideFront = false;
        label = (slideVisible ? "shown by " : "hidden by ") + e.actor;
        break;
      case TraceKind::Foreground:
        if (!vurl && !slideFront) return;
        slideFront = vurl;
        label = vurl ? "brought to the front by " + e.actor : "another window in front";
        break;
      default:
        return;
    }
    Mark(slide, e.time, "change", label, i);
    ShowSlide(e.time, i);
  }

  void Power(const sim::TraceEvent& e, uint32_t i) {
    if (IStartsWith(e.text, "power info ")) {
      bool ac = NumberAfter(e.text, "ac=") == 1;
      std::string battery = std::to_string(NumberAfter(e.text, "battery=")) + "%";
      powerSpan.Switch(power, e.time, ac ? "ac" : "battery",
                       ac ? "external power, battery " + battery : "on battery, " + battery, i);
      Mark(power, e.time, "info", e.text.substr(6), i);
    } else if (IStartsWith(e.text, "power unattended ")) {
      Mark(power, e.time, "unattended", e.text.substr(6) + " by " + e.actor, i);
    } else if (IStartsWith(e.text, "power request ")) {
      Mark(power, e.time, "request", e.actor + " asked for " + e.text.substr(14), i);
    } else if (IStartsWith(e.text, "power broadcast lost")) {
      Mark(power, e.time, "warn", e.text, i);
    }
  }

  void Add(const sim::TraceEvent& e, uint32_t i) {
    if (!started) {
      // The phone boots with the display on and without the slide screen.
      started = true;
      displaySpan.Switch(display, e.time, "on", "display on", i);
      ShowSlide(e.time, i);
    }
    if (e.kind == TraceKind::Note) {
      Display(e, i);
      Power(e, i);
    } else if (e.kind == TraceKind::Post || e.kind == TraceKind::Send) {
      Lock(e, i);
    } else {
      Slide(e, i);
    }
  }

  void Finish(uint64_t end) {
    displaySpan.Close(display, end, true);
    lockSpan.Close(lock, end, true);
    slideSpan.Close(slide, end, true);
    powerSpan.Close(power, end, true);
  }
};

// --- Daemon timers, programs -----------------------------------------------------------------

struct TimerLane {
  struct Arming {
    uint64_t start;
    uint32_t period;
    uint32_t event;
    int row;
  };
  TimelineLane lane{"timers", "Daemon timers", {}, {}, 1};
  std::map<uint32_t, Arming> armed;  // by timer id
  std::vector<bool> rowBusy;

  int FreeRow() {
    auto it = std::find(rowBusy.begin(), rowBusy.end(), false);
    if (it != rowBusy.end()) {
      *it = true;
      return static_cast<int>(it - rowBusy.begin());
    }
    rowBusy.push_back(true);
    lane.rows = static_cast<int>(rowBusy.size());
    return lane.rows - 1;
  }

  // The trace has no line for a timer message: a fire is when the period ran out while the
  // timer was still armed, up to and including the time it was stopped or set again.
  void End(uint32_t id, uint64_t t, uint32_t endEvent) {
    auto it = armed.find(id);
    if (it == armed.end()) return;
    Arming a = it->second;
    armed.erase(it);
    std::string name = "timer " + std::to_string(id);
    uint64_t fires = t < a.start + a.period ? 0 : a.period == 0 ? 1 : (t - a.start) / a.period;
    for (uint64_t k = 1; k <= std::min(fires, kMaxFireMarks); ++k) {
      uint64_t at = a.start + k * a.period;
      Mark(lane, at, "fired", name + " fired", at == t ? endEvent : a.event);
    }
    std::string label = name + " armed, " + std::to_string(a.period) + " ms";
    if (fires > kMaxFireMarks) label += ", fired " + std::to_string(fires) + " times";
    lane.spans.push_back(
        TimelineSpan{a.start, std::max(t, a.start), "armed", label, a.event, a.row});
    rowBusy[a.row] = false;
  }

  void Add(const sim::TraceEvent& e, uint32_t i) {
    if (e.cls != "Dorvane2") return;
    if (e.kind == TraceKind::SetTimer) {
      End(e.msg, e.time, i);
      armed[e.msg] = Arming{e.time, e.value, i, FreeRow()};
      Mark(lane, e.time, "set",
           "timer " + std::to_string(e.msg) + " set, " + std::to_string(e.value) + " ms", i);
    } else if (e.kind == TraceKind::KillTimer) {
      End(e.msg, e.time, i);
      Mark(lane, e.time, "kill", "timer " + std::to_string(e.msg) + " killed", i);
    }
  }

  void Finish(uint64_t end) {
    while (!armed.empty()) End(armed.begin()->first, end, armed.begin()->second.event);
    std::stable_sort(lane.marks.begin(), lane.marks.end(),
                     [](const TimelineMark& a, const TimelineMark& b) { return a.time < b.time; });
    std::stable_sort(
        lane.spans.begin(), lane.spans.end(),
        [](const TimelineSpan& a, const TimelineSpan& b) { return a.start < b.start; });
  }
};

void AddProgram(TimelineLane& lane, const sim::TraceEvent& e, uint32_t i) {
  if (e.kind == TraceKind::Launch)
    Mark(lane, e.time, "launch", e.actor + " started " + e.text, i);
  else if (e.kind == TraceKind::Exit)
    Mark(lane, e.time, "exit", e.actor + " ended, code " + std::to_string(e.value), i);
}

}  // namespace timeline

// --- The builder -----------------------------------------------------------------------------

struct TimelineBuilder::Lanes {
  timeline::StateLanes state;
  timeline::CallsLane calls;
  timeline::MessagesLane messages;
  timeline::TimerLane timers;
  TimelineLane programs{"programs", "Programs", {}, {}, 1};
  TimelineLane failures{"failures", "Failed expectations", {}, {}, 1};
};

TimelineBuilder::TimelineBuilder() : lanes_(std::make_unique<Lanes>()) {}
TimelineBuilder::~TimelineBuilder() = default;

void TimelineBuilder::Add(const sim::TraceEvent& e) {
  uint32_t i = static_cast<uint32_t>(lines_.size());
  lines_.push_back(sim::Trace::Render(e));
  times_.push_back(e.time);
  lanes_->state.Add(e, i);
  lanes_->calls.Add(e, i);
  lanes_->messages.Add(e, i);
  lanes_->timers.Add(e, i);
  timeline::AddProgram(lanes_->programs, e, i);
}

void TimelineBuilder::AddFailure(const TimelineFailure& f, size_t traceCount) {
  traceCount = std::min(traceCount, lines_.size());
  TimelineMark mark{f.time, "fail", f.where + ": " + f.what + ": " + f.source, {}};
  if (!f.reason.empty()) mark.label += "\n" + f.reason;
  for (size_t i = traceCount > timeline::kFailureTail ? traceCount - timeline::kFailureTail : 0;
       i < traceCount; ++i)
    mark.events.push_back(static_cast<uint32_t>(i));
  auto& marks = lanes_->failures.marks;
  auto at = std::upper_bound(marks.begin(), marks.end(), f.time,
                             [](uint64_t t, const TimelineMark& m) { return t < m.time; });
  marks.insert(at, std::move(mark));
}

TimelinePage TimelineBuilder::Finish(std::string title, uint64_t end) {
  TimelinePage page;
  page.title = std::move(title);
  page.start = times_.empty() ? end : times_.front();
  if (!lanes_->failures.marks.empty())
    page.start = std::min(page.start, lanes_->failures.marks.front().time);
  if (!times_.empty()) end = std::max(end, times_.back());
  page.end = std::max(end, page.start);
  Lanes& l = *lanes_;
  l.state.Finish(page.end);
  l.timers.Finish(page.end);
  page.lanes.push_back(std::move(l.state.display));
  page.lanes.push_back(std::move(l.state.lock));
  page.lanes.push_back(std::move(l.state.slide));
  page.lanes.push_back(std::move(l.state.power));
  page.lanes.push_back(l.calls.Finish(page.end));
  page.lanes.push_back(l.messages.Finish(page.end));
  page.lanes.push_back(std::move(l.timers.lane));
  page.lanes.push_back(std::move(l.programs));
  page.lanes.push_back(std::move(l.failures));
  page.lines = std::move(lines_);
  page.times = std::move(times_);
  lanes_ = std::make_unique<Lanes>();
  return page;
}

}  // namespace device
