// `run --stats`, and the promise behind it: a phone left alone costs no wake-ups.
#include <gtest/gtest.h>

#include <sstream>

#include "device/runner/runner.h"

namespace {

struct Totals {
  uint64_t wakeups = 0;
  uint64_t timers = 0;
  bool operator==(const Totals&) const = default;
};

Totals Count(sim::Device& dev) {
  Totals t;
  for (const auto& p : dev.Processes()) {
    t.wakeups += p->wakeups;
    for (const auto& [id, n] : p->timerFirings) t.timers += n;
  }
  return t;
}

TEST(IdleStats, AnIdleHourWakesNoProgram) {
  std::ostringstream out, err;
  device::RunOptions options;
  options.quiet = true;
  device::Runner runner("idle.scn", options, out, err);
  ASSERT_TRUE(runner.Open());
  auto play = [&](std::string_view line) {
    device::ParseResult parsed = device::ParseLine(line, 1, "idle.scn");
    ASSERT_TRUE(parsed.ok()) << line;
    for (const auto& step : parsed.steps) ASSERT_TRUE(runner.Play(step)) << line;
  };
  // Default settings but the start-up notice, which would wait for OK: the daemon started, its
  // start-up work done, the phone unlocked.
  play("reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01");
  play("start dorvane2");
  play("settle");
  Totals before = Count(runner.device());
  EXPECT_GT(before.wakeups, 0u);
  play("wait 1h");
  EXPECT_EQ(Count(runner.device()), before);
  // Locked and idle: still nothing.
  play("post Dorvane2 32793");
  play("settle");
  before = Count(runner.device());
  play("wait 1h");
  EXPECT_EQ(Count(runner.device()), before);
}

TEST(IdleStats, StatsFollowTheSummary) {
  device::RunOptions options;
  options.quiet = true;
  options.stats = true;
  device::RunResult r = device::RunScenario(
      "reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01\n"
      "start dorvane2\nwait 2s\n",
      "s.scn", options);
  EXPECT_EQ(r.status, device::kExitPassed);
  EXPECT_NE(r.output.find("0 passed, 0 failed\nstats "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("stats dorvane2.exe wake-ups="), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("stats dorvane2.exe timer id="), std::string::npos) << r.output;
}

}  // namespace
