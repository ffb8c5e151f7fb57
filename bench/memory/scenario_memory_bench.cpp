// How fast scenario text is parsed and how much memory parsing takes per line: a run checks
// the whole file line by line before playing it, so its memory must not grow with the lines.
// A program of its own (dv_bench_memory): it counts the heap through an operator new of its own,
// which would add to the cost of every allocation the other benchmarks measure.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "device/scenario/scenario.h"

namespace {

// Live and peak heap bytes of this program, for the bytes-per-line figures.
std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void* Allocate(size_t size) {
  // A size header in front, so a delete knows what it gives back.
  auto* block = static_cast<size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (!block) throw std::bad_alloc();
  *block = size;
  size_t live = g_live += size;
  for (size_t peak = g_peak; live > peak && !g_peak.compare_exchange_weak(peak, live);) {
  }
  return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void Release(void* p) {
  if (!p) return;
  auto* block = reinterpret_cast<size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
  g_live -= *block;
  std::free(block);
}

// Short lines of the kinds scenarios are made of.
std::string ScenarioText(int lines) {
  static const char* kLines[] = {
      "wait 250ms",
      "settle",
      "post Dorvane2 32818 @listener -1",
      "reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01",
      "expect posted Vurl 32778 * *",
      "# a comment",
      "power idle",
      "expect log \"Slide screen started\"",
  };
  std::string text;
  for (int i = 0; i < lines; ++i) (text += kLines[i % 8]) += '\n';
  return text;
}

void Report(benchmark::State& state, const std::string& text, size_t peakGrowth) {
  const double lines = static_cast<double>(state.range(0));
  state.counters["lines/s"] = benchmark::Counter(lines * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  state.counters["text bytes/line"] = static_cast<double>(text.size()) / lines;
  state.counters["heap bytes/line"] = static_cast<double>(peakGrowth) / lines;
}

// What a run does before playing: every line checked, no step kept.
void BM_CheckScenarioLineByLine(benchmark::State& state) {
  const std::string text = ScenarioText(static_cast<int>(state.range(0)));
  size_t growth = 0;
  for (auto _ : state) {
    const size_t before = g_live;
    g_peak = before;
    auto error = device::ForEachStep(text, "bench.scn", [](device::Step&&) { return true; });
    if (error) state.SkipWithError(error->text.c_str());
    growth = g_peak - before;
  }
  Report(state, text, growth);
}
BENCHMARK(BM_CheckScenarioLineByLine)->Arg(100000);

// Every step kept, as tests and tools that want the whole list get it.
void BM_ParseScenarioIntoSteps(benchmark::State& state) {
  const std::string text = ScenarioText(static_cast<int>(state.range(0)));
  size_t growth = 0;
  for (auto _ : state) {
    const size_t before = g_live;
    g_peak = before;
    device::ParseResult r = device::ParseScenario(text, "bench.scn");
    if (!r.ok()) state.SkipWithError(r.error->text.c_str());
    growth = g_peak - before;
  }
  Report(state, text, growth);
}
BENCHMARK(BM_ParseScenarioIntoSteps)->Arg(100000);

}  // namespace

void* operator new(size_t size) {
  return Allocate(size);
}
void* operator new[](size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  Release(p);
}
// The daemon asks for some buffers without exceptions; every form a delete may meet carries
// the header.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}

BENCHMARK_MAIN();
