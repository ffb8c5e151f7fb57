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

// A runner fed one scenario line at a time, as the shell feeds it.
struct LinePlayer {
  std::ostringstream out, err;
  device::RunOptions options = Quiet();
  device::Runner runner;
  explicit LinePlayer(const char* name) : runner(name, options, out, err) {}
  static device::RunOptions Quiet() {
    device::RunOptions o;
    o.quiet = true;
    return o;
  }
  void Play(std::string_view line) {
    device::ParseResult parsed = device::ParseLine(line, 1, "lines.scn");
    ASSERT_TRUE(parsed.ok()) << line;
    for (const auto& step : parsed.steps) ASSERT_TRUE(runner.Play(step)) << line;
  }
};

TEST(IdleStats, AnIdleHourWakesNoProgram) {
  LinePlayer player("idle.scn");
  device::Runner& runner = player.runner;
  ASSERT_TRUE(runner.Open());
  auto play = [&](std::string_view line) { player.Play(line); };
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

struct Held {
  size_t keys = 0, files = 0, handles = 0, lines = 0, libraries = 0;
};

Held HeldByDaemon(sim::Device& dev) {
  Held h;
  for (const auto& p : dev.Processes())
    if (!p->ended && p->exeName == u"dorvane2.exe") {
      h.keys += dev.registry().OpenHandlesOf(p.get());
      h.files += dev.files().OpenHandlesOf(p.get());
      h.handles += dev.handles().OpenHandlesOf(p.get());
      h.lines += dev.telephony().OpenLinesOf(p.get());
    }
  h.libraries = static_cast<size_t>(dev.libraries().LoadCount(u"HtcUtil.dll"));
  return h;
}

// Whatever the daemon opens for a lock, a call, a message, a reload or a call it places (also
// one that fails) it closes again: after rounds of phone life it holds exactly what it has held
// since its start, and keeps for its life.
TEST(IdleStats, RoundsOfPhoneLifeLeaveNothingMoreOpen) {
  LinePlayer player("rounds.scn");
  device::Runner& runner = player.runner;
  ASSERT_TRUE(runner.Open());
  auto play = [&](std::string_view line) { player.Play(line); };
  for (const char* line :
       {"reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01",
        "reg set HKCU\\Software\\Zeq\\Vurl LockNotification binary 01",
        "reg set HKCU\\Software\\Zeq\\Vurl CallerID binary 01",
        "reg set HKCU\\Software\\Zeq\\Vurl DialedID binary 01",
        "reg set HKCU\\Software\\Zeq\\Vurl DebugOn binary 01",
        "reg set HKCU\\ControlPanel\\Notifications\\{15F11F90-8A5F-454c-89FC-BA9B7AAB0CAD} "
        "Options dword 0x11",
        "file add \\Windows\\HtcUtil.dll", "start dorvane2", "settle"})
    play(line);
  Held life = HeldByDaemon(runner.device());
  auto round = [&] {
    for (const char* line : {"power idle",
                             "wait 5s",
                             "power on",
                             "settle",
                             "user unlock",
                             "settle",
                             "call offer 5551234",
                             "wait 2s",
                             "user answer",
                             "wait 5s",
                             "call end",
                             "settle",
                             "sms arrive Ann \"See you\"",
                             "settle",
                             "reg set HKCU\\System\\State\\Shell\\Reminders\\1 Due dword 1",
                             "reg set HKCU\\System\\State\\Shell\\Reminders Active dword 1",
                             "settle",
                             "reg set HKCU\\System\\State\\Shell\\Reminders Active dword 0",
                             "settle",
                             "post Dorvane2 32811",
                             "settle",
                             "start dorvane2 -slide",
                             "settle",
                             "user unlock",
                             "settle",
                             "post Dorvane2 32864",
                             "settle",
                             "user dial 5550001",
                             "wait 1s",
                             "call connect",
                             "wait 1s",
                             "user hangup",
                             "wait 5s",
                             "fail lineTranslateAddress",
                             "user dial 5550002",
                             "wait 5s",
                             "call refuse",
                             "user dial 5550003",
                             "wait 5s",
                             "settle"})
      play(line);
  };
  EXPECT_GT(life.handles, 0u);
  EXPECT_EQ(life.lines, 1u);
  for (int i = 0; i < 3; ++i) round();
  Held now = HeldByDaemon(runner.device());
  EXPECT_EQ(now.keys, life.keys);
  EXPECT_EQ(now.files, life.files);
  EXPECT_EQ(now.handles, life.handles);
  EXPECT_EQ(now.lines, life.lines);
  EXPECT_EQ(now.libraries, 0u);
  EXPECT_EQ(player.err.str(), "");
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
  EXPECT_NE(r.output.find("stats dorvane2.exe open registry-keys=0 files=1 handles="),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find(" lines=1\n"), std::string::npos) << r.output;
}

}  // namespace
