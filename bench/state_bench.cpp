// How many state changes per second travel from a registry write through the daemon window to
// the slide screen stand-in.
#include <benchmark/benchmark.h>

#include "device/programs/programs.h"
#include "platform/sim/device.h"

namespace {

void BM_StateChangeToSlideScreen(benchmark::State& state) {
  sim::Device dev;
  device::InstallPrograms(dev);
  device::InstallDaemon(dev, device::kDefaultDaemonPath);
  dev.SetBootTick(120000);
  dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Vurl", u"AutoStart", REG_BINARY, {1});
  dev.Launch(device::kDefaultDaemonPath, u"", 5);
  if (!dev.RunFor(1500)) state.SkipWithError(dev.Failure().c_str());
  uint32_t value = 0;
  const uint32_t vurl = dev.trace().Name(std::string_view("Vurl"));
  for (auto _ : state) {
    ++value;
    dev.trace().Clear();
    dev.registry().SetValue(u"HKLM\\System\\State\\Phone", u"Signal Strength Raw", REG_DWORD,
                            {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), 0});
    if (!dev.RunUntilIdle()) {
      state.SkipWithError(dev.Failure().c_str());
      break;
    }
    // Checked on the stored records: reading whole events would measure the check.
    const sim::Trace& trace = dev.trace();
    bool reached = false;
    for (size_t i = 0; i < trace.size() && !reached; ++i) {
      const sim::TraceRecord& r = trace.RecordAt(i);
      reached = r.cls == vurl && r.msg == 32778 && r.wParam == (value & 0xFFFFFF);
    }
    if (!reached) {
      state.SkipWithError("the change did not reach the slide screen");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StateChangeToSlideScreen);

}  // namespace
