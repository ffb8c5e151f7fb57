// Random days in one process, as the swarm plays them on one core: each day parsed once and
// played on a fresh device with the promises watched. Goal: 500 days a second for days of
// 50-200 events, and memory that stays flat however many days are played.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "device/swarm/swarm.h"

namespace {

long ResidentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

void BM_RandomDays(benchmark::State& state) {
  uint64_t seed = 1;
  size_t events = 0;
  uint64_t days = 0;
  const long before = ResidentKb();
  for (auto _ : state) {
    swarm::SeededChoices choices(seed++);
    swarm::Day day = swarm::GenerateDay(choices);
    events += day.events.size();
    swarm::Outcome outcome = swarm::PlayDay(swarm::DayText(day, "bench"), {});
    benchmark::DoNotOptimize(outcome);
    ++days;
  }
  state.counters["days/s"] =
      benchmark::Counter(static_cast<double>(days), benchmark::Counter::kIsRate);
  state.counters["events/day"] = static_cast<double>(events) / static_cast<double>(days);
  state.counters["RSS growth KB"] = static_cast<double>(ResidentKb() - before);
}
BENCHMARK(BM_RandomDays)->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace
