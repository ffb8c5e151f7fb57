#include "device/swarm/swarm.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <streambuf>
#include <thread>

#include "device/runner/runner.h"
#include "platform/sim/host_files.h"

namespace swarm {

namespace {

// Swallows what a day prints: the swarm reports promises, not each day's trace.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Not a promise: a day the scenario language refuses, which is the generator's fault.
const std::string kUnparsable = "unparsable-day";

std::string Title(uint64_t seed) {
  return "random day, seed " + std::to_string(seed);
}

// Each day allocates and frees much the same few megabytes as the day before. Where the C
// library's allocator is in use (no jemalloc), left to its defaults it hands the freed top of
// the heap (and every large block) back to the system after each day and takes the page faults
// of getting it back the next.
void KeepHeapBetweenDays() {
#ifdef __GLIBC__
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
  });
#endif
}

}  // namespace

Outcome PlayDay(const std::string& text, const std::vector<std::string>& promises,
                bool stopAtBreak) {
  KeepHeapBetweenDays();
  Outcome outcome;
  device::ParseResult parsed = device::ParseScenario(text, "day.scn");
  if (!parsed.ok()) {
    outcome.parseError = true;
    return outcome;
  }
  NullBuffer nothing;
  std::ostream null(&nothing);
  device::RunOptions options;
  options.quiet = true;
  device::Runner runner("day.scn", options, null, null);
  if (!runner.Open()) {
    outcome.deviceFailed = true;
    return outcome;
  }
  for (const auto& step : parsed.steps) {
    auto* m = std::get_if<device::verb::Model>(&step.action);
    if (m && m->step->needsPhone()) {
      runner.WantPhone();
      break;
    }
  }
  for (const auto& step : parsed.steps) {
    if (!runner.Play(step)) break;
    if (stopAtBreak && runner.promises().FirstBroken(promises)) break;
  }
  for (const auto& b : runner.promises().Broken())
    if (promises.empty() || std::find(promises.begin(), promises.end(), b.name) != promises.end())
      outcome.broken.push_back(b);
  outcome.stepFailures = runner.stepFailures();
  outcome.deviceFailed = runner.deviceFailed();
  return outcome;
}

// --- Shrinking ---------------------------------------------------------------------------------

namespace {

// Classic delta debugging over a list: try dropping each of n chunks, finer and finer.
template <class T>
std::vector<T> ShrinkList(std::vector<T> items,
                          const std::function<bool(const std::vector<T>&)>& keeps) {
  size_t n = 2;
  while (items.size() >= 2) {
    size_t chunk = (items.size() + n - 1) / n;
    bool dropped = false;
    for (size_t start = 0; start < items.size(); start += chunk) {
      std::vector<T> rest(items.begin(), items.begin() + start);
      rest.insert(rest.end(), items.begin() + std::min(items.size(), start + chunk), items.end());
      if (keeps(rest)) {
        items = std::move(rest);
        n = std::max<size_t>(n - 1, 2);
        dropped = true;
        break;
      }
    }
    if (dropped) continue;
    if (n >= items.size()) break;
    n = std::min(items.size(), n * 2);
  }
  if (items.size() == 1) {
    std::vector<T> none;
    if (keeps(none)) items.clear();
  }
  return items;
}

// Shorter forms of a wait, shortest first.
std::vector<std::string> ShorterWaits(const std::string& wait) {
  std::vector<std::string> out;
  if (wait.empty()) return out;
  for (const char* w : {"", "wait 1s", "wait 6s", "wait 11s", "wait 1m"})
    if (wait != w) out.push_back(w);
  return out;
}

// The line without its last option (`--id-after 3s`, `--importance 2`), when it has one.
std::optional<std::string> WithoutLastOption(const std::string& line) {
  size_t pos = line.rfind(" --");
  if (pos == std::string::npos) return std::nullopt;
  return line.substr(0, pos);
}

}  // namespace

Day Shrink(const Day& day, const std::function<bool(const Day&)>& stillBreaks, int* plays) {
  Day best = day;
  auto tries = [&](const Day& d) {
    ++*plays;
    return stillBreaks(d);
  };
  // Events first: they are most of a day.
  best.events = ShrinkList<Event>(best.events, [&](const std::vector<Event>& events) {
    Day d = best;
    d.events = events;
    return tries(d);
  });
  // Setup lines, keeping the ones the language needs in front and the daemon's start.
  for (size_t i = 0; i < best.setup.size();) {
    const std::string& line = best.setup[i];
    // The settings store's first value keeps the first-run notices, a story of their own, out
    // of every day.
    if (line.starts_with("clock ") || line.starts_with("boot ") || line == "start dorvane2" ||
        line.ends_with(" AutoStart binary 01")) {
      ++i;
      continue;
    }
    Day d = best;
    d.setup.erase(d.setup.begin() + static_cast<long>(i));
    if (tries(d))
      best = std::move(d);
    else
      ++i;
  }
  // Then each event's delay and options.
  for (size_t i = 0; i < best.events.size(); ++i) {
    for (const std::string& shorter : ShorterWaits(best.events[i].wait)) {
      Day d = best;
      d.events[i].wait = shorter;
      if (tries(d)) {
        best = std::move(d);
        break;
      }
    }
    while (auto simpler = WithoutLastOption(best.events[i].line)) {
      Day d = best;
      d.events[i].line = *simpler;
      if (!tries(d)) break;
      best = std::move(d);
    }
  }
  // Dropping an event can make another droppable once the waits are short.
  if (best.events.size() > 1) {
    for (size_t i = 0; i < best.events.size();) {
      Day d = best;
      d.events.erase(d.events.begin() + static_cast<long>(i));
      if (tries(d))
        best = std::move(d);
      else
        ++i;
    }
  }
  return best;
}

// --- The swarm ---------------------------------------------------------------------------------

std::string SeedDayText(uint64_t seed, const std::vector<std::string>& promises,
                        const DayShape& shape) {
  SeededChoices choices(seed);
  Day day = GenerateDay(choices, shape);
  day.promises = promises;
  return DayText(day, Title(seed));
}

namespace {

struct Report {
  uint64_t seed = 0;
  std::string promise;  // empty: the day kept every promise
  std::string file;     // the shrunk scenario, when one was written
  size_t events = 0;
  bool lastOfDay = true;  // a day's reports end with this one
};

// One report per line through a pipe: "seed\tpromise\tfile\tevents".
std::string Encode(const Report& r) {
  return std::to_string(r.seed) + "\t" + r.promise + "\t" + r.file + "\t" +
         std::to_string(r.events) + "\t" + (r.lastOfDay ? "1" : "0") + "\n";
}

std::optional<Report> Decode(const std::string& line) {
  std::istringstream in(line);
  Report r;
  std::string seed, events, last;
  if (!std::getline(in, seed, '\t') || !std::getline(in, r.promise, '\t') ||
      !std::getline(in, r.file, '\t') || !std::getline(in, events, '\t') || !std::getline(in, last))
    return std::nullopt;
  r.seed = std::stoull(seed);
  r.events = std::stoull(events);
  r.lastOfDay = last == "1";
  return r;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::string error;
  return sim::WriteHostFileAtomic(path, text, &error);
}

// Shrinks a day that broke `promise` and writes it; the file's name, or empty.
Report ShrinkAndWrite(uint64_t seed, const Day& day, const std::string& promise, int failuresBefore,
                      const SwarmOptions& o) {
  const std::vector<std::string> only{promise};
  int plays = 0;
  Day small = Shrink(
      day,
      [&](const Day& d) {
        Outcome again = PlayDay(DayText(d, ""), only, true);
        return !again.broken.empty() && again.stepFailures <= failuresBefore;
      },
      &plays);
  small.promises = only;
  std::string title = Title(seed) + ", shrunk from " + std::to_string(day.events.size()) +
                      " events to " + std::to_string(small.events.size()) + " (" +
                      std::to_string(plays) + " days played)";
  Report report{seed, promise, o.out + "/" + promise + "-" + std::to_string(seed) + ".scn",
                small.events.size()};
  if (!WriteText(report.file, DayText(small, title))) report.file.clear();
  return report;
}

// Plays one day: one report when it kept every promise, else one per promise it broke (the
// first few breaks of each promise shrunk and written).
std::vector<Report> PlaySeed(uint64_t seed, const SwarmOptions& o,
                             std::map<std::string, int>& shrunk) {
  SeededChoices choices(seed);
  Day day = GenerateDay(choices, o.shape);
  day.promises = o.promises;
  std::string text = DayText(day, Title(seed));
  if (!o.writeDays.empty()) WriteText(o.writeDays + "/day-" + std::to_string(seed) + ".scn", text);
  Outcome outcome = PlayDay(text, o.promises);
  if (outcome.parseError) {
    // The generator wrote a line the language does not take: its own fault, kept for study.
    Report r{seed, kUnparsable, o.out + "/" + kUnparsable + "-" + std::to_string(seed) + ".scn",
             day.events.size()};
    if (!WriteText(r.file, text)) r.file.clear();
    return {r};
  }
  if (outcome.broken.empty()) return {Report{seed, {}, {}, day.events.size()}};
  std::vector<Report> reports;
  for (const auto& b : outcome.broken) {
    if (shrunk[b.name]++ >= o.shrinkPerPromise)
      reports.push_back({seed, b.name, {}, day.events.size()});
    else
      reports.push_back(ShrinkAndWrite(seed, day, b.name, outcome.stepFailures, o));
    reports.back().lastOfDay = false;
  }
  reports.back().lastOfDay = true;
  return reports;
}

// Plays every `stride`-th day from `first`, reporting each through `each`.
void PlayShare(const SwarmOptions& o, uint64_t first, uint64_t stride,
               const std::function<void(const Report&)>& each) {
  std::map<std::string, int> shrunk;
  for (uint64_t i = first; i < o.days; i += stride)
    for (const Report& r : PlaySeed(o.seed + i, o, shrunk)) each(r);
}

class Progress {
 public:
  Progress(const SwarmOptions& o, std::ostream& err) : o_(o), err_(err) {}
  void Count(const Report& r) {
    if (!r.promise.empty()) ++broken_;
    if (!r.lastOfDay) return;
    ++done_;
    if (!o_.progress) return;
    auto now = std::chrono::steady_clock::now();
    if (done_ != o_.days && now - shown_ < std::chrono::milliseconds(250)) return;
    shown_ = now;
    double secs = std::chrono::duration<double>(now - start_).count();
    char line[160];
    std::snprintf(line, sizeof line, "\rdays %llu/%llu  %.0f days/s  promises broken %llu   ",
                  static_cast<unsigned long long>(done_), static_cast<unsigned long long>(o_.days),
                  secs > 0 ? done_ / secs : 0.0, static_cast<unsigned long long>(broken_));
    err_ << line << std::flush;
  }
  void End() {
    if (o_.progress) err_ << '\n';
  }
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  const SwarmOptions& o_;
  std::ostream& err_;
  uint64_t done_ = 0;
  uint64_t broken_ = 0;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point shown_{};
};

// Each job is a process of its own: the simulated device is one per process.
std::vector<Report> PlayInJobs(const SwarmOptions& o, unsigned jobs, Progress& progress) {
  std::vector<Report> reports;
  std::vector<std::pair<pid_t, int>> children;
  for (unsigned j = 0; j < jobs; ++j) {
    int fds[2];
    if (pipe(fds) != 0) break;
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      PlayShare(o, j, jobs, [&](const Report& r) {
        std::string line = Encode(r);
        for (size_t off = 0; off < line.size();) {
          ssize_t n = write(fds[1], line.data() + off, line.size() - off);
          if (n <= 0) _exit(3);
          off += static_cast<size_t>(n);
        }
      });
      close(fds[1]);
      _exit(0);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      break;
    }
    children.push_back({pid, fds[0]});
  }
  std::vector<std::string> partial(children.size());
  size_t open = children.size();
  while (open > 0) {
    std::vector<pollfd> fds;
    for (const auto& c : children) fds.push_back({c.second, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) break;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (children[i].second < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t n = read(children[i].second, buf, sizeof buf);
      if (n <= 0) {
        close(children[i].second);
        children[i].second = -1;
        --open;
        continue;
      }
      partial[i].append(buf, static_cast<size_t>(n));
      for (size_t nl; (nl = partial[i].find('\n')) != std::string::npos;) {
        if (auto r = Decode(partial[i].substr(0, nl))) {
          progress.Count(*r);
          if (!r->promise.empty()) reports.push_back(*r);
        }
        partial[i].erase(0, nl + 1);
      }
    }
  }
  for (const auto& c : children) waitpid(c.first, nullptr, 0);
  return reports;
}

}  // namespace

int RunSwarm(const SwarmOptions& o, std::ostream& out, std::ostream& err) {
  for (const std::string& dir : {o.out, o.writeDays}) {
    if (dir.empty()) continue;
    std::string error;
    if (!sim::MakeHostFolders(dir, &error) || sim::HostEntryAt(dir) != sim::HostEntry::Folder) {
      err << "dorvane2-sim swarm: cannot make the folder " << dir << '\n';
      return device::kExitBroken;
    }
  }
  unsigned jobs = o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
  jobs = static_cast<unsigned>(std::min<uint64_t>(jobs, std::max<uint64_t>(o.days, 1)));
  Progress progress(o, err);
  std::vector<Report> reports;
  if (jobs <= 1) {
    PlayShare(o, 0, 1, [&](const Report& r) {
      progress.Count(r);
      if (!r.promise.empty()) reports.push_back(r);
    });
  } else {
    reports = PlayInJobs(o, jobs, progress);
  }
  progress.End();
  std::sort(reports.begin(), reports.end(),
            [](const Report& a, const Report& b) { return a.seed < b.seed; });
  std::map<std::string, int> byPromise;
  std::set<uint64_t> days;
  for (const auto& r : reports) {
    ++byPromise[r.promise];
    days.insert(r.seed);
  }
  char rate[64];
  std::snprintf(rate, sizeof rate, "%.1f s", progress.Seconds());
  out << "swarm: " << o.days << " days from seed " << o.seed << " in " << rate << ", "
      << days.size() << " broke a promise\n";
  for (const auto& [name, count] : byPromise) out << "  " << name << ": " << count << " days\n";
  for (const auto& r : reports) {
    if (r.file.empty()) continue;
    out << "\n" << r.file << " (" << r.events << " events):\n";
    std::string text, error;
    if (sim::ReadHostFile(r.file, &text, &error)) out << text;
  }
  return reports.empty() ? device::kExitPassed : device::kExitFailed;
}

}  // namespace swarm
