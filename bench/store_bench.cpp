// The simulated message store as it fills: texts arriving as a scenario's `sms arrive` lines
// bring them, and the daemon's look at the newest of a full inbox. Goal: 10,000 arrivals in at
// most 50 M instructions (about 15 ms), ten times the texts at most 13 times the cost, and a
// look at the inbox that costs the same however full it is.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "device/scenario/expect.h"
#include "device/scenario/scenario.h"
#include "messaging/message_store.h"
#include "platform/sim/device.h"
#include "platform/user.h"

namespace {

// `count` parsed `sms arrive` lines from 50 senders, every third one read on arrival.
std::vector<device::Step> Arrivals(int64_t count) {
  std::string text;
  for (int64_t i = 0; i < count; ++i)
    text += "sms arrive \"Sender " + std::to_string(i % 50) + "\" \"Text " + std::to_string(i) +
            "\"" + (i % 3 == 0 ? " --read" : "") + "\n";
  device::ParseResult parsed = device::ParseScenario(text, "store.scn");
  if (!parsed.ok()) std::abort();
  return std::move(parsed.steps);
}

// Each line played on a fresh device as the runner plays a model verb, the device run until
// idle after it. Parsing is BM_ParseScenario's.
void Fill(sim::Device& dev, const std::vector<device::Step>& steps) {
  size_t cursor = 0;
  device::detail::ExpectContext ctx{dev, u"\\Windows\\dorvane2.exe", cursor};
  for (const device::Step& step : steps) {
    const auto& model = std::get<device::verb::Model>(step.action);
    if (model.step->Play(ctx)) std::abort();
    if (!dev.RunUntilIdle()) std::abort();
  }
}

// One round of the benchmark, apart so that callgrind counts it alone.
[[gnu::noinline]] void FillFresh(const std::vector<device::Step>& steps) {
  sim::Device dev;
  Fill(dev, steps);
  benchmark::DoNotOptimize(dev.mapi().Stores().size());
}

void BM_TextsArrive(benchmark::State& state) {
  std::vector<device::Step> steps = Arrivals(state.range(0));
  for (auto _ : state) FillFresh(steps);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TextsArrive)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The daemon's preview export on an inbox of that many texts, a third of them read: its walk
// from the newest message to the newest unread one.
void BM_PreviewOfFullInbox(benchmark::State& state) {
  sim::Device dev;
  Fill(dev, Arrivals(state.range(0)));
  dev.files().AddFile(u"\\Windows\\reader.exe");
  dev.RegisterProgram(u"reader.exe", [](const std::u16string&, int) {
    MSG m;
    while (GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
    return 0;
  });
  sim::Process* reader = dev.Launch(u"\\Windows\\reader.exe", u"", 5);
  for (auto _ : state) {
    HRESULT hr = E_FAIL;
    dev.RunInProcess(reader, [&] {
      hr = messaging::RunOnMessageStore(u"SMS", messaging::StoreAction::ExportPreview);
    });
    if (hr != S_OK) state.SkipWithError("the export failed");
  }
}
BENCHMARK(BM_PreviewOfFullInbox)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
