// Other programs may post anything to the daemon window. Thousands of random private messages,
// with random parameters and random pauses between them, must leave the daemon running and
// answering: no crash, no endless loop, no exit. Each run is seeded; DV_FUZZ_SEED=N replays one.
#include <cstdlib>
#include <random>

#include "core/messages.h"
#include "core/state.h"
#include "platform/user.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

class DaemonFuzz : public TracedDaemonTest {
 protected:
  DaemonFuzz() {
    // A quiet log: thousands of detailed lines would only slow the run down.
    SetFlag(u"DebugOn", 0);
  }

  // Left out: what ends the daemon by design (the close-all request, the timer that ends the
  // closing notice).
  static bool LeftOut(UINT msg, WPARAM wParam) {
    return msg == core::kMsgCloseAll || (msg == WM_TIMER && wParam == core::kTimerClose);
  }

  struct Pick {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };

  Pick Next(std::mt19937& rng) {
    auto below = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
    Pick p{};
    uint32_t kind = below(100);
    if (kind < 80) {
      p.msg = WM_APP + below(0x120);  // every message the daemon handles, and its neighbours
    } else if (kind < 90) {
      p.msg = WM_APP + 0x120 + below(0xC000 - WM_APP - 0x120);  // the rest of the private range
    } else if (kind < 95) {
      p.msg = 0xC000 + below(0x4000);  // registered-message range
    } else if (kind < 98) {
      p.msg = WM_TIMER;
    } else {
      p.msg = WM_SETTINGCHANGE;
    }
    // Parameters: small numbers, window handles, extremes and noise.
    std::vector<HWND> windows;
    for (HWND h : dev.windows().ZOrder()) windows.push_back(h);
    auto param = [&]() -> uint32_t {
      switch (below(6)) {
        case 0:
          return 0;
        case 1:
          return below(16);
        case 2:
          return windows.empty() ? 1 : windows[below(static_cast<uint32_t>(windows.size()))];
        case 3:
          return 0xFFFFFFFFu - below(3);
        case 4:
          return 1024 + below(32);  // timer ids and nearby
        default:
          return static_cast<uint32_t>(rng());
      }
    };
    p.wParam = param();
    p.lParam = static_cast<LPARAM>(param());
    if (p.msg == WM_SETTINGCHANGE && below(2)) p.wParam = 0x3002;
    return p;
  }

  // Options that open more branches of the handlers, drawn per seed.
  void DrawSettings(std::mt19937& rng) {
    for (const char16_t* name :
         {u"LockNotification", u"ShowEmailPreview", u"ShowSMSPreview", u"ShowMMSPreview",
          u"StylusInLock", u"UnlockOnRotate", u"NoPowerSuspend", u"HPcloseFenk", u"AutoStart"})
      SetFlag(name, static_cast<uint8_t>(rng() % 2));
    SetFlag(u"InCallLock", static_cast<uint8_t>(rng() % 3));
    SetFlag(u"WallpaperChangeTime", static_cast<uint8_t>(rng() % 3));
  }

  // Plays `count` random messages; stops at the first sign of trouble.
  void Play(std::mt19937& rng, int count) {
    for (int i = 0; i < count; ++i) {
      Pick p = Next(rng);
      if (LeftOut(p.msg, p.wParam)) continue;
      HWND daemonWindow = DaemonWindow();
      ASSERT_NE(daemonWindow, 0u) << "the daemon window is gone before message " << i;
      PostMessageW(daemonWindow, p.msg, p.wParam, p.lParam);
      // Now and then the slide screen dies, or the display goes off or on as the power thread
      // would note it, so that those paths are taken too.
      if (rng() % 100 == 0) dev.Kill(u"vurl.exe");
      if (rng() % 50 == 0) {
        uint8_t off = static_cast<uint8_t>(rng() % 2);
        // A daemon busy in one of its waits takes the change at its next message.
        dev.RunInProcess(daemon, [off] { core::G().DisplayOff = off; });
        ASSERT_FALSE(daemon->ended) << "the daemon ended before message " << i;
      }
      bool ok = rng() % 8 == 0 ? dev.RunFor(rng() % 1500) : dev.RunUntilIdle();
      ASSERT_TRUE(ok) << "after message " << i << " (" << p.msg << ", " << p.wParam << ", "
                      << p.lParam << "): " << dev.Failure();
    }
  }
};

TEST_F(DaemonFuzz, RandomPrivateMessagesLeaveTheDaemonRunningAndAnswering) {
  std::vector<uint32_t> seeds = {20080601u, 7u, 0xD0F7A2E5u};
  if (const char* env = std::getenv("DV_FUZZ_SEED"))
    seeds = {static_cast<uint32_t>(std::strtoul(env, nullptr, 0))};
  for (uint32_t seed : seeds) {
    SCOPED_TRACE("seed " + std::to_string(seed) +
                 " (replay with DV_FUZZ_SEED=" + std::to_string(seed) + ")");
    // Each seed on a fresh daemon with options of its own.
    if (daemon != nullptr) {
      ASSERT_TRUE(dev.Kill(u"dorvane2.exe"));
      ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
    }
    std::mt19937 rng(seed);
    DrawSettings(rng);
    Boot();
    ASSERT_NO_FATAL_FAILURE(Play(rng, 2000));

    // Still the single daemon, still handling messages, and the device comes to rest.
    ASSERT_TRUE(dev.RunFor(20000)) << dev.Failure();
    ASSERT_NE(DaemonWindow(), 0u);
    EXPECT_EQ(SendMessageW(DaemonWindow(), core::kMsgFindSlide, 0, 0), 1);
    EXPECT_EQ(SendMessageW(DaemonWindow(), WM_TIMER, 1026, 0), 1);
    EXPECT_TRUE(dev.RunFor(300000)) << dev.Failure();
    EXPECT_NE(DaemonWindow(), 0u);
    size_t daemons = 0;
    for (const auto& p : dev.Processes())
      if (!p->ended && platform::U8(p->exeName) == "dorvane2.exe") ++daemons;
    EXPECT_EQ(daemons, 1u);
  }
}

}  // namespace
