// `run --stats`: what the device's programs did while nothing was asked of them, as numbers.
#include <map>
#include <ostream>
#include <string>

#include "device/runner/runner_internal.h"
#include "platform/wstr.h"

namespace device::detail {

void PrintStats(const sim::Device& dev, std::ostream& out) {
  // A program started twice is summed under its name; names are sorted for stable output.
  struct Totals {
    uint64_t wakeups = 0;
    std::map<UINT, uint64_t> timers;
    size_t keys = 0, files = 0, handles = 0, lines = 0;
  };
  std::map<std::string, Totals> programs;
  for (const auto& p : dev.Processes()) {
    Totals& t = programs[platform::U8(p->exeName)];
    t.wakeups += p->wakeups;
    for (const auto& [id, n] : p->timerFirings) t.timers[id] += n;
    t.keys += dev.registry().OpenHandlesOf(p.get());
    t.files += dev.files().OpenHandlesOf(p.get());
    t.handles += dev.handles().OpenHandlesOf(p.get());
    t.lines += dev.telephony().OpenLinesOf(p.get());
  }
  for (const auto& [name, t] : programs) {
    uint64_t fired = 0;
    for (const auto& [id, n] : t.timers) fired += n;
    out << "stats " << name << " wake-ups=" << t.wakeups << " timer-firings=" << fired << '\n';
    // What the program holds open at the end: a count that grows with the length of the run
    // is a leak.
    out << "stats " << name << " open registry-keys=" << t.keys << " files=" << t.files
        << " handles=" << t.handles << " lines=" << t.lines << '\n';
    for (const auto& [id, n] : t.timers)
      out << "stats " << name << " timer id=" << id << " fired=" << n << '\n';
  }
}

}  // namespace device::detail
