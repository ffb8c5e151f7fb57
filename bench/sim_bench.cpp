// How fast the simulated device moves messages between simulated threads.
#include <benchmark/benchmark.h>

#include "platform/kernel.h"
#include "platform/sim/device.h"
#include "platform/user.h"

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr UINT kPong = WM_APP + 2;
constexpr int kRoundTrips = 200000;

LRESULT PongProc(HWND, UINT msg, WPARAM wp, LPARAM) {
  // Answers each ping with a post back to the window named in wParam.
  if (msg == kPing) PostMessageW(static_cast<HWND>(wp), kPong, 0, 0);
  return 1;
}

int CountingPing(HWND self) {
  HWND pong = FindWindowW(u"Pong", nullptr);
  MSG m;
  int done = 0;
  PostMessageW(pong, kPing, self, 0);
  while (GetMessageW(&m, 0, 0, 0) > 0) {
    if (m.message == kPong && ++done == kRoundTrips) break;
    PostMessageW(pong, kPing, self, 0);
  }
  PostMessageW(pong, WM_CLOSE, 0, 0);
  return 0;
}

HWND MakeWindow(const char16_t* name, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
  return CreateWindowExW(0, name, name, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
}

LRESULT PingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT PongWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (msg == kPing) return PongProc(h, msg, wp, lp);
  return DefWindowProcW(h, msg, wp, lp);
}

// One round trip: a post to a window of another simulated thread, handled there, answered by
// a post back, and taken by the first thread's message loop. Argument 1: with the device trace
// on, as every scenario runs (goal: at least 1 M/s).
void BM_PostedRoundTrip(benchmark::State& state) {
  for (auto _ : state) {
    sim::Device dev;
    dev.trace().enabled = state.range(0) != 0;
    dev.files().AddFile(u"\\Windows\\pong.exe");
    dev.files().AddFile(u"\\Windows\\ping.exe");
    dev.RegisterProgram(u"pong.exe", [](const std::u16string&, int) {
      MakeWindow(u"Pong", &PongWindowProc);
      MSG m;
      while (GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
      return 0;
    });
    dev.RegisterProgram(u"ping.exe", [](const std::u16string&, int) {
      return CountingPing(MakeWindow(u"Ping", &PingProc));
    });
    dev.Launch(u"\\Windows\\pong.exe", u"", SW_SHOW);
    dev.RunUntilIdle();
    dev.Launch(u"\\Windows\\ping.exe", u"", SW_SHOW);
    if (!dev.RunUntilIdle()) state.SkipWithError(dev.Failure().c_str());
  }
  state.SetItemsProcessed(state.iterations() * kRoundTrips);
}
BENCHMARK(BM_PostedRoundTrip)->ArgName("trace")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
