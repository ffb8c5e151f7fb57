// How long writing the timeline page takes and how big it gets: a scripted 24-hour day with a
// display cycle every ten minutes, and a fuzz-sized run of 10^5 trace events.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "device/runner/runner.h"
#include "device/timeline/timeline.h"

namespace {

// The daemon through a day: every ten minutes the display goes off, the slide screen locks,
// the display comes back and the user slides.
std::string DayScenario() {
  std::string s =
      "reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01\n"
      "start dorvane2\nsettle\n";
  for (int cycle = 0; cycle < 24 * 6; ++cycle)
    s += "power idle\nwait 1s\npower on\nwait 1s\nuser unlock\nwait 598s\n";
  return s;
}

void Measure(benchmark::State& state, const sim::Trace& trace, uint64_t end) {
  size_t bytes = 0;
  for (auto _ : state) {
    device::TimelineBuilder builder;
    for (const sim::TraceEvent& e : trace.Events()) builder.Add(e);
    builder.AddFailure({end / 2, "bench.scn:1", "expect window Vurl hidden", "expectation failed",
                        "it is visible"},
                       trace.Events().size() / 2);
    std::string html = device::TimelineHtml(builder.Finish("bench.scn", end));
    bytes = html.size();
    benchmark::DoNotOptimize(html.data());
  }
  state.counters["events"] = static_cast<double>(trace.Events().size());
  state.counters["page_bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(trace.Events().size()));
}

void BM_TimelineDay(benchmark::State& state) {
  std::ostringstream out;
  device::RunOptions options;
  options.quiet = true;
  device::Runner runner("day.scn", options, out, out);
  device::ParseResult parsed = device::ParseScenario(DayScenario(), "day.scn");
  if (!parsed.ok() || !runner.Open()) return state.SkipWithError("the day does not parse");
  for (const device::Step& step : parsed.steps)
    if (!runner.Play(step)) return state.SkipWithError("the day failed");
  Measure(state, runner.device().trace(), runner.device().Now());
}
BENCHMARK(BM_TimelineDay)->Unit(benchmark::kMillisecond);

// A fuzz-sized run: every kind of item the lanes read, in a deterministic mix.
void BM_TimelineFuzz(benchmark::State& state) {
  constexpr size_t kEvents = 100000;
  sim::Trace trace;
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  uint64_t t = 0;
  while (trace.Events().size() < kEvents) {
    t += next() % 900;
    sim::TraceEvent e;
    e.time = t;
    e.actor = "dorvane2.exe";
    e.cls = e.title = next() % 2 ? "Vurl" : "Dorvane2";
    switch (next() % 8) {
      case 0:
        e.kind = sim::TraceKind::Post, e.msg = 32779 + next() % 5, e.wParam = next() % 4;
        break;
      case 1:
        e.kind = sim::TraceKind::Post, e.msg = 32841, e.wParam = next() % 2;
        break;
      case 2: {
        // The daemon's timers are one-shot in effect: the handler kills its own timer.
        e.kind = sim::TraceKind::SetTimer, e.msg = 1025 + next() % 25, e.value = 500;
        sim::TraceEvent kill = e;
        kill.kind = sim::TraceKind::KillTimer;
        kill.time = t += e.value;
        trace.Add(std::move(e));
        e = std::move(kill);
        break;
      }
      case 3:
        e.kind = sim::TraceKind::KillTimer, e.msg = 1025 + next() % 25;
        break;
      case 4:
        e.kind = sim::TraceKind::Show, e.value = next() % 2 ? 5 : 0;
        break;
      case 5:
        e.kind = sim::TraceKind::Note;
        e.text = next() % 2 ? "power transition on 0x00010000" : "power transition idle 0x00100000";
        break;
      case 6:
        e.kind = sim::TraceKind::Post, e.msg = 32785 + next() % 2;
        break;
      default:
        e.kind = sim::TraceKind::Launch, e.text = "fenk.exe";
        break;
    }
    trace.Add(std::move(e));
  }
  Measure(state, trace, t);
}
BENCHMARK(BM_TimelineFuzz)->Unit(benchmark::kMillisecond);

}  // namespace
