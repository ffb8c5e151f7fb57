// Scenario files end to end: how fast they parse, and a scripted day played as `run` plays it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "device/runner/runner.h"
#include "device/scenario/scenario.h"

namespace {

std::string ReadSource(const char* relative) {
  std::ifstream in(std::string(DV_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The day's event lines (not clock and boot, which may come only first) many times over.
std::string ManyLines(size_t* count) {
  std::istringstream day(ReadSource("examples/day-24h.scn"));
  std::string body;
  for (std::string line; std::getline(day, line);)
    if (!line.starts_with("clock") && !line.starts_with("boot")) body += line + "\n";
  std::string text;
  while (text.size() < (4u << 20)) text += body;
  *count = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  return text;
}

// Goal: at least 1 M lines per second.
void BM_ParseScenario(benchmark::State& state) {
  size_t lines = 0;
  std::string text = ManyLines(&lines);
  for (auto _ : state) {
    device::ParseResult r = device::ParseScenario(text, "many.scn");
    if (!r.ok()) state.SkipWithError("the lines do not parse");
    benchmark::DoNotOptimize(r);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines));
}
BENCHMARK(BM_ParseScenario)->Unit(benchmark::kMillisecond);

// examples/day-24h.scn from parsing to the summary, the trace printed as `run` prints it.
// Goal: at most 10 ms of wall time.
void BM_ScriptedDay(benchmark::State& state) {
  std::string text = ReadSource("examples/day-24h.scn");
  for (auto _ : state) {
    device::RunResult r = device::RunScenario(text, "day-24h.scn");
    if (r.status != device::kExitPassed) state.SkipWithError(r.output.c_str());
  }
}
BENCHMARK(BM_ScriptedDay)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
