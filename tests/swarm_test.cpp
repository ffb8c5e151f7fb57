// Random days: the promises each catch what breaks them, the same seed always gives the same
// day and trace, and a shrunk day still breaks its promise when replayed with `run`.
#include "device/swarm/swarm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/runner/runner.h"

namespace {

constexpr const char* kHeader = R"(boot 120000
reg set HKCU\Software\Zeq\Vurl AutoStart binary 01
reg set HKCU\Software\Zeq\Vurl CallerID binary 01
start dorvane2
settle
)";

struct Breaker {
  const char* promise;
  const char* day;  // after the header
  const char* header = kHeader;
};

// Each promise, broken by something a day can do to the phone from outside.
const Breaker kBreakers[] = {
    // Another program posts WM_DESTROY: the daemon ends without being asked to quit.
    {"alive", "post Dorvane2 2\nwait 5s\n"},
    // Someone tells the locked slide screen that a call is over and it may hide.
    {"locked-shown", "power idle\nwait 5s\npower on\nwait 5s\npost Vurl 32776 0\nwait 30s\n"},
    // A forged end-of-call message unlocks the daemon behind the slide screen's back: the last
    // call had found the phone unlocked.
    {"only-unlock",
     "call offer 5551234\nwait 2s\ncall end\nwait 5s\npower idle\nwait 5s\npower on\nwait "
     "5s\npost Dorvane2 32786 0\nwait 5s\n"},
    // The slide screen is told to hide while it shows the ringing call.
    {"call-answerable", "call offer 5551234\nwait 1s\npost Vurl 32776 0\nwait 30s\n"},
    // A forged end-of-call message unlocks the daemon past its unlock sequence (the last call
    // had found the phone unlocked): the user's reminder options stay switched off, their
    // backup kept.
    {"borrowed-back",
     "call offer 5551234\nwait 2s\ncall end\nwait 5s\n"
     "reg set HKCU\\ControlPanel\\Notifications\\{A877D65B-239C-47a7-9304-0D347F580408} Options "
     "dword 0xD\nreg set HKCU\\Software\\Zeq\\Vurl LockNotification binary 01\npost Dorvane2 "
     "32811\npower idle\nwait 5s\npower on\nwait 5s\npost Dorvane2 32786 0\nwait 30s\n"},
    // Another program tells the slide screen a count the shell does not have.
    {"counters-true", "sms arrive 555 Hi\nwait 5s\npost Vurl 32780 5\nwait 30s\n"},
    // Another program rewrites the preview of the newest unread message.
    {"counters-true",
     "reg set HKCU\\Software\\Zeq\\Vurl LockNotification binary 01\npost Dorvane2 32811\n"
     "wait 5s\nsms arrive 555 Hi\nwait 5s\nreg set HKCU\\Software\\Zeq\\Vurl\\SMS Subject sz "
     "Forged\nwait 30s\n"},
    // Without the slide screen program nothing can lock.
    {"lock-returns",
     "file delete \"\\Program Files\\Vurl\\vurl.exe\"\nkill vurl.exe\npower idle\nwait 30s\n"},
    // The boot-time password lock waits for a slide screen that can no longer start: the daemon
    // asks for it every second, all night.
    {"quiet-when-idle", "file delete \"\\Program Files\\Vurl\\vurl.exe\"\nkill vurl.exe\nwait 2h\n",
     "boot 1000\nreg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01\nreg set "
     "HKCU\\Software\\Zeq\\Vurl PasswordLock binary 01\nstart dorvane2\n"},
};

TEST(Promises, EachIsBrokenByADayThatBreaksIt) {
  for (const auto& b : kBreakers) {
    SCOPED_TRACE(b.promise);
    std::string text = std::string(b.header) + b.day + "expect promises " + b.promise + "\n";
    auto run = device::RunScenario(text);
    EXPECT_EQ(run.status, device::kExitFailed);
    EXPECT_NE(run.output.find("promise " + std::string(b.promise) + " broken after line"),
              std::string::npos)
        << run.output;
  }
  // An ordinary day keeps every promise: locked by the display, unlocked by the user, a call
  // handed to the slide screen and answered there.
  auto calm = device::RunScenario(std::string(kHeader) +
                                  "power idle\nwait 5s\npower on\nwait 5s\nuser unlock\nwait "
                                  "20s\ncall offer 5551234\nwait 3s\nuser answer\nwait 1m\n"
                                  "call end\nwait 30s\npower idle\nwait 30s\nexpect promises\n");
  EXPECT_EQ(calm.status, device::kExitPassed) << calm.output;

  auto bad = device::ParseScenario("expect promises alive lok-returns\n", "x.scn");
  ASSERT_FALSE(bad.ok());
  EXPECT_NE(bad.error->message.find("unknown promise 'lok-returns'"), std::string::npos);
}

TEST(RandomDays, TheSameSeedGivesTheSameDayAndTrace) {
  std::string day = swarm::SeedDayText(7, {});
  EXPECT_EQ(day, swarm::SeedDayText(7, {}));
  EXPECT_NE(day, swarm::SeedDayText(8, {}));
  EXPECT_TRUE(device::ParseScenario(day, "day.scn").ok());
  EXPECT_EQ(device::RunScenario(day).output, device::RunScenario(day).output);

  // A fuzzer's bytes make days too, even when they run out at once.
  for (std::string bytes : {std::string(), std::string("\x13\xff\x00\x7f\x42\x99", 6)}) {
    swarm::ByteChoices choices(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    swarm::Day d = swarm::GenerateDay(choices, {5, 30});
    EXPECT_TRUE(device::ParseScenario(swarm::DayText(d, "bytes"), "day.scn").ok());
  }
}

TEST(RandomDays, AShrunkDayStillBreaksItsPromiseWhenReplayed) {
  swarm::Day day;
  day.setup = {"boot 120000", "reg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01",
               "reg set HKCU\\Software\\Zeq\\Vurl CallerID binary 01", "start dorvane2"};
  day.events = {{"call offer 5551234", "wait 2s"},
                {"call end", "wait 5s"},
                {"key press 0x41", "wait 3s"},
                {"sms arrive 555 Hi", "wait 1m"},
                {"power idle", "wait 5s"},
                {"power battery 40", "wait 10s"},
                {"power on", "wait 5s"},
                {"task add Milk", "wait 2s"},
                {"post Dorvane2 32786 0", "wait 20s"},
                {"key press 0x76", "wait 1s"}};
  const std::vector<std::string> only{"only-unlock"};
  ASSERT_FALSE(swarm::PlayDay(swarm::DayText(day, "full"), only).broken.empty());
  int plays = 0;
  swarm::Day small = swarm::Shrink(
      day,
      [&](const swarm::Day& d) {
        return !swarm::PlayDay(swarm::DayText(d, ""), only, true).broken.empty();
      },
      &plays);
  EXPECT_LE(small.events.size(), 4u);
  EXPECT_GT(plays, 0);
  small.promises = only;
  auto replay = device::RunScenario(swarm::DayText(small, "shrunk"));
  EXPECT_EQ(replay.status, device::kExitFailed);
  EXPECT_NE(replay.output.find("promise only-unlock broken"), std::string::npos) << replay.output;
  EXPECT_NE(replay.output.find("0 passed, 1 failed"), std::string::npos) << replay.output;
}

}  // namespace
