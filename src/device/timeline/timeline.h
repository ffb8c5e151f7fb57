// A picture of a run: the device trace and the failed expectations turned into lanes over device
// time (display, lock, slide screen, power, calls, messages, timers, programs, failures) and
// written as one self-contained HTML page. docs/timeline.md says which trace items feed which
// lane.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/trace.h"

namespace device {

// A stretch of time in one state ("on", "locked", "front" ...). Spans of one row never overlap.
struct TimelineSpan {
  uint64_t start = 0;
  uint64_t end = 0;
  std::string state;   // the style key; also shown when there is room
  std::string label;   // what the hover card says
  uint32_t event = 0;  // the trace line that began it
  int row = 0;
};

// One thing that happened, with the trace lines behind it.
struct TimelineMark {
  uint64_t time = 0;
  std::string kind;  // the style key: "request", "fired", "fail" ...
  std::string label;
  std::vector<uint32_t> events;  // trace indices; empty for a failure before any event
};

struct TimelineLane {
  std::string id;    // "display", "lock", "slide", "power", "calls", "messages", ...
  std::string name;  // what the page shows
  std::vector<TimelineSpan> spans;
  std::vector<TimelineMark> marks;
  int rows = 1;
};

// A failed expectation or step, as the runner reported it.
struct TimelineFailure {
  uint64_t time = 0;
  std::string where;   // FILE:LINE
  std::string source;  // the scenario line
  std::string what;    // "expectation failed", "step failed", "the device failed"
  std::string reason;
};

struct TimelinePage {
  std::string title;  // the scenario file, or "stdin"
  uint64_t start = 0;
  uint64_t end = 0;
  std::vector<TimelineLane> lanes;
  std::vector<std::string> lines;
  std::vector<uint64_t> times;
  int passed = 0;
  int failed = 0;
};

// Builds the lanes one trace event at a time, so a run of any length is read once.
class TimelineBuilder {
 public:
  TimelineBuilder();
  ~TimelineBuilder();
  TimelineBuilder(const TimelineBuilder&) = delete;
  TimelineBuilder& operator=(const TimelineBuilder&) = delete;

  void Add(const sim::TraceEvent& e);
  // A failure after `traceCount` trace events: the last of them are the lines behind its mark.
  void AddFailure(const TimelineFailure& failure, size_t traceCount);
  // Closes the open spans at `end` (at least the last event's time) and moves everything into
  // a page.
  TimelinePage Finish(std::string title, uint64_t end);

 private:
  struct Lanes;
  std::unique_ptr<Lanes> lanes_;
  std::vector<std::string> lines_;  // the trace lines as printed
  std::vector<uint64_t> times_;
};

// The whole page: inline CSS, SVG and script, with a policy that forbids loading anything.
std::string TimelineHtml(const TimelinePage& page);

// What the runner knows at the end of a run.
struct TimelineRun {
  std::string title;
  uint64_t now = 0;
  int passed = 0;
  int failed = 0;
  std::vector<std::pair<TimelineFailure, size_t>> failures;  // with the trace size then
};

// The whole run to a page written at `path`. False and the reason when the file cannot be
// written (an old file at `path` is then left whole).
bool WriteTimeline(const std::string& path, const sim::Trace& trace, const TimelineRun& run,
                   std::string* error);

}  // namespace device
