// The PIM store at the sizes of a well-used phone, driven as scenario lines drive it: the lines
// are parsed beforehand and played by the runner, the device running until it rests after each,
// with the daemon answering as it does in a scenario. Only the lines named in each benchmark are
// measured; the phone is booted and filled before them.
//
// Instruction counts (the numbers the goals are set in) come from callgrind, counting only the
// measured lines, divided by the iterations the benchmark reports:
//   valgrind --tool=callgrind --toggle-collect='*PlayMeasured*' build-rel/dv_bench
//       --benchmark_filter=BM_IncomingCall/10000 --benchmark_min_time=0
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "device/runner/runner.h"
#include "device/scenario/scenario.h"

namespace {

constexpr const char* kPhone =
    "clock 2008-06-01 07:00:00\n"
    "boot 120000\n"
    "reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01\n"
    "reg set HKCU\\Software\\Zeq\\Vurl CallerID binary 01\n"
    "reg set HKCU\\Software\\Zeq\\Vurl ShowTask binary 01\n"
    "reg set HKCU\\Software\\Zeq\\Vurl ShowAppointment binary 03\n"
    "reg set HKCU\\Software\\Zeq\\Vurl AppointmentDays binary 01\n";
constexpr const char* kStart = "start dorvane2\nsettle\n";

std::string Two(int v) {
  return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

// Appointments over eight days from the day before the clock's, some all-day, some yearly.
std::string Appointments(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) {
    const std::string day = i % 8 == 0 ? "2008-05-31" : "2008-06-" + Two(i % 8);
    const int minute = (i * 37) % (24 * 60 - 30);
    const std::string from = Two(minute / 60) + ":" + Two(minute % 60);
    const std::string to = Two((minute + 30) / 60) + ":" + Two((minute + 30) % 60);
    text += "appointment add A" + std::to_string(i) + " " + day + " " + from + " " + day + " " + to;
    text += i % 50 == 0 ? " --allday\n" : i % 97 == 0 ? " --yearly\n" : "\n";
  }
  return text;
}

std::string Tasks(int n) {
  std::string text;
  for (int i = 0; i < n; ++i)
    text +=
        "task add T" + std::to_string(i) + (i % 5 ? " --due 2008-06-" + Two(1 + i % 9) : "") + "\n";
  return text;
}

std::string Contacts(int n) {
  std::string text;
  for (int i = 0; i < n; ++i)
    text += "contact add C" + std::to_string(i) + " \"+49 170 " + std::to_string(1000000 + i * 37) +
            "\"\n";
  return text;
}

std::vector<device::Step> Steps(const std::string& text, benchmark::State& state) {
  device::ParseResult r = device::ParseScenario(text, "bench.scn");
  if (!r.ok()) state.SkipWithError(r.error->text.c_str());
  return std::move(r.steps);
}

// Out of line, for callgrind to count these steps alone.
[[gnu::noinline]] bool PlayMeasured(device::Runner& runner,
                                    const std::vector<device::Step>& steps) {
  for (const device::Step& step : steps)
    if (!runner.Play(step)) return false;
  return true;
}

// Plays `before` unmeasured and then `measured`, on a fresh phone each iteration.
void Run(benchmark::State& state, const std::string& before, const std::string& measured) {
  const std::vector<device::Step> setUp = Steps(before, state), timed = Steps(measured, state);
  for (auto _ : state) {
    state.PauseTiming();
    std::ostringstream out;
    {
      device::RunOptions quiet;
      quiet.quiet = true;
      device::Runner runner("bench.scn", quiet, out, out);
      bool ok = runner.Open();
      for (const device::Step& step : setUp) ok = ok && runner.Play(step);
      state.ResumeTiming();
      ok = ok && PlayMeasured(runner, timed);
      state.PauseTiming();
      if (!ok || runner.Finish() != device::kExitPassed) state.SkipWithError(out.str().c_str());
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A store filled before the daemon starts, and the daemon's start with its first exports.
// Goal: 10,000 contacts, or 5,000 appointments and 5,000 tasks, under 50 M instructions each
// (about 15 ms), and ten times the items at most 13 times the cost.
void BM_SetUpContacts(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run(state, kPhone, Contacts(n) + kStart);
}
BENCHMARK(BM_SetUpContacts)->Arg(0)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SetUpCalendar(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Run(state, kPhone, Appointments(n) + Tasks(n) + kStart);
}
BENCHMARK(BM_SetUpCalendar)->Arg(0)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

// The daemon looks the caller up among the contacts. Goal: under 1 M instructions with 10,000.
void BM_IncomingCall(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string caller = std::to_string(1000000 + (n / 2) * 37);
  Run(state, kPhone + Contacts(n) + kStart, "call offer +49170" + caller + "\nsettle\n");
}
// Each iteration fills a fresh phone unmeasured first: a fixed count keeps the run short.
BENCHMARK(BM_IncomingCall)
    ->Arg(10)
    ->Arg(1000)
    ->Arg(10000)
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

// A change to the calendar makes the daemon export it again, late in a day whose appointments
// have mostly ended. Goal: the export costs the same whatever number of them ended.
void BM_ExportLateInADay(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string ended;
  for (int i = 0; i < n; ++i) {
    const int minute = i % (7 * 60 - 1);
    const std::string from = Two(minute / 60) + ":" + Two(minute % 60);
    const std::string to = Two((minute + 1) / 60) + ":" + Two((minute + 1) % 60);
    ended += "appointment add P" + std::to_string(i) + " 2008-06-01 " + from + " 2008-06-01 " + to +
             "\n";
  }
  Run(state, kPhone + ended + kStart,
      "appointment add Lunch 2008-06-01 12:00 2008-06-01 13:00\nsettle\n");
}
BENCHMARK(BM_ExportLateInADay)->Arg(0)->Arg(5000)->Iterations(200)->Unit(benchmark::kMillisecond);

// Each change of the open-task count makes the daemon export the task list again.
// Goal: 2,000 tasks added and then completed one by one in under 1 s.
void BM_AddThenCompleteTasks(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string complete;
  for (int i = 0; i < n; ++i) complete += "task complete T" + std::to_string(i) + "\n";
  Run(state, std::string(kPhone) + kStart, Tasks(n) + complete + "settle\n");
}
BENCHMARK(BM_AddThenCompleteTasks)
    ->Arg(250)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
