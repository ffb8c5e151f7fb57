// A year in one run: examples/day-24h.scn set up once, then its day played 365 times with the
// clock moving on a day each time, as `run --quiet` plays it. A run that goes on for months must
// cost the same per day at its end as at its start, in time and in memory.
//
// Goals: under 2 s of CPU and under 32 MB peak RSS for the year; day 365 within 10 % of day 2.
// The year is played in a child process, so that its peak RSS is its own (a process's peak
// never goes down); what the child had from this process at the start is reported beside it.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/runner/runner.h"
#include "device/scenario/scenario.h"
#include "platform/sim/host_files.h"

namespace {

constexpr int kDays = 365;
constexpr uint64_t kDayMs = 24ull * 3600 * 1000;

struct Year {
  std::string text;
  std::vector<int> dayStarts;  // the line each day's events start on
};

// The file's setup runs up to the night before the first morning ("# 07:00"); the rest is the
// day, followed by a wait to the next morning. The phone spends the night on the charger, and
// a phone on the charger is not locked when left idle: each later day starts with the phone
// taken off it, so that every day, its expectations included, plays as the first.
Year BuildYear(int days = kDays) {
  std::string source;
  sim::ReadHostFile(std::string(DV_SOURCE_DIR) + "/examples/day-24h.scn", &source, nullptr);
  std::istringstream file(source);
  std::string setup, day = "power ac off\n";
  int setupLines = 0, dayLines = 1;
  bool inDay = false;
  for (std::string line; std::getline(file, line);) {
    inDay = inDay || line.starts_with("# 07:00");
    (inDay ? day : setup) += line + '\n';
    ++(inDay ? dayLines : setupLines);
  }
  uint64_t dayMs = 0;
  device::ParseResult parsed = device::ParseScenario(day, "day.scn");
  for (const auto& step : parsed.steps)
    if (auto* w = std::get_if<device::verb::Wait>(&step.action)) dayMs += w->ms;
  day += "wait " + std::to_string(kDayMs - dayMs) + "ms\n";
  ++dayLines;
  Year year{setup, {}};
  int line = setupLines + 1;
  for (int d = 0; d < days; ++d) {
    year.dayStarts.push_back(line);
    year.text += day;
    line += dayLines;
  }
  return year;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Kilobytes of a line of /proc/self/status ("VmRSS", "VmHWM").
double StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(key + ":")) return std::stod(line.substr(key.size() + 1));
  return 0;
}

double HeapInUse() {
#ifdef __GLIBC__
  const struct mallinfo2 m = mallinfo2();
  return static_cast<double>(m.uordblks + m.hblkhd);
#else
  return 0;
#endif
}

struct YearResult {
  int status = -1;
  double cpu = 0;
  double rssAtStartKb = 0;
  double peakRssKb = 0;
  double traceEvents = 0;
  double traceKept = 0;
  double dayCpu[kDays] = {};
  double heapAfterDay[kDays] = {};
};

// Plays the year in this process, as RunScenarioText does, timing each day.
YearResult PlayYear(const Year& year) {
  YearResult r;
  r.rssAtStartKb = StatusKb("VmRSS");
  const double start = CpuSeconds();
  std::ostringstream out;  // quiet: the summary and any failure
  device::RunOptions options;
  options.quiet = true;
  {
    device::Runner runner("year.scn", options, out, out);
    if (!runner.Open()) return r;
    int day = -1;
    double dayStart = 0;
    auto endDay = [&] {
      if (day < 0) return;
      r.dayCpu[day] = CpuSeconds() - dayStart;
      r.heapAfterDay[day] = HeapInUse();
    };
    device::ForEachStep(year.text, "year.scn", [&](device::Step&& step) {
      if (day + 1 < kDays && step.line >= year.dayStarts[day + 1]) {
        endDay();
        ++day;
        dayStart = CpuSeconds();
      }
      return runner.Play(step);
    });
    endDay();
    r.status = runner.Finish();
    const sim::Trace& trace = runner.device().trace();
    r.traceEvents = static_cast<double>(trace.size());
    r.traceKept = static_cast<double>(trace.size() - trace.FirstKept());
  }
  r.cpu = CpuSeconds() - start;
  r.peakRssKb = StatusKb("VmHWM");
  return r;
}

// Goals as above. Counters: the year's CPU seconds and peak RSS, the CPU milliseconds of day 2
// and of day 365 (and the median of the first and of the last ten days), and the heap in use
// after them.
// Runs `play` in a child process and returns what it returned, so that the peak RSS it reports
// is its own (a process's peak never goes down). False when the child died.
template <typename Result, typename Play>
bool InChild(Result* r, Play play) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    const Result played = play();
    const char* at = reinterpret_cast<const char*>(&played);
    for (size_t left = sizeof played; left > 0;) {
      ssize_t n = write(pipeFds[1], at, left);
      if (n <= 0) _exit(1);
      at += n;
      left -= static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(pipeFds[1]);
  char* at = reinterpret_cast<char*>(r);
  size_t got = 0;
  for (ssize_t n; got < sizeof *r && (n = read(pipeFds[0], at + got, sizeof *r - got)) > 0;)
    got += static_cast<size_t>(n);
  close(pipeFds[0]);
  int wstatus = 0;
  waitpid(child, &wstatus, 0);
  return got == sizeof *r;
}

void BM_YearOfDays(benchmark::State& state) {
  static const Year year = BuildYear();  // once: the child's RSS at the fork stays the same
  YearResult r;
  for (auto _ : state) {
    if (!InChild(&r, [] { return PlayYear(year); }))
      return state.SkipWithError("the child playing the year died");
    if (r.status != device::kExitPassed) return state.SkipWithError("the year did not pass");
  }
  // A day takes well under a millisecond: on a shared machine one day's figure may be off by
  // half, the median of ten hardly.
  auto median = [](const double* from) {
    std::vector<double> days(from, from + 10);
    std::nth_element(days.begin(), days.begin() + 5, days.end());
    return days[5];
  };
  state.counters["year CPU s"] = r.cpu;
  state.counters["peak RSS MB"] = r.peakRssKb / 1024;
  state.counters["RSS at fork MB"] = r.rssAtStartKb / 1024;
  state.counters["day 2 ms"] = r.dayCpu[1] * 1e3;
  state.counters["day 365 ms"] = r.dayCpu[kDays - 1] * 1e3;
  state.counters["days 2-11 ms"] = median(r.dayCpu + 1) * 1e3;
  state.counters["days 356-365 ms"] = median(r.dayCpu + kDays - 10) * 1e3;
  state.counters["trace events"] = r.traceEvents;
  state.counters["of them kept"] = r.traceKept;
  state.counters["heap day 2 MB"] = r.heapAfterDay[1] / (1 << 20);
  state.counters["heap day 365 MB"] = r.heapAfterDay[kDays - 1] / (1 << 20);
}
BENCHMARK(BM_YearOfDays)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Thirty of those days in one run with `--timeline`: the run keeps the whole trace for the page.
// Goals: a page under 10 MB and a peak RSS under 64 MB.
struct MonthResult {
  int status = -1;
  double cpu = 0;
  double peakRssKb = 0;
  double pageBytes = 0;
};

void BM_MonthWithTimeline(benchmark::State& state) {
  static const Year month = BuildYear(30);
  const std::string page = "/tmp/dv_month_" + std::to_string(getpid()) + ".html";
  MonthResult r;
  for (auto _ : state) {
    const bool played = InChild(&r, [&] {
      MonthResult m;
      const double start = CpuSeconds();
      std::ostringstream out;
      device::RunOptions options;
      options.quiet = true;
      options.timeline = page;
      m.status = device::RunScenarioText(month.text, "month.scn", options, out, out);
      m.cpu = CpuSeconds() - start;
      m.peakRssKb = StatusKb("VmHWM");
      std::ifstream written(page, std::ios::binary | std::ios::ate);
      m.pageBytes = static_cast<double>(written.tellg());
      return m;
    });
    std::remove(page.c_str());
    if (!played) return state.SkipWithError("the child playing the month died");
    if (r.status != device::kExitPassed) return state.SkipWithError("the month did not pass");
  }
  state.counters["CPU s"] = r.cpu;
  state.counters["peak RSS MB"] = r.peakRssKb / 1024;
  state.counters["page MB"] = r.pageBytes / (1 << 20);
}
BENCHMARK(BM_MonthWithTimeline)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
