// The power thread's reactions to the power manager, unattended mode and the companions.
#include "platform/power.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "companions/music_panel.h"
#include "core/state.h"
#include "daemon_fixture.h"
#include "device/programs/fenk_standin.h"
#include "platform/sim/power_manager.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/settings.h"

namespace {

class Power : public DaemonTest {
 protected:
  sim::Process* Boot() {
    dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Vurl", u"AutoStart", REG_BINARY, {1});
    dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Vurl", u"DebugOn", REG_BINARY, {1});
    sim::Process* p = StartDaemon();
    EXPECT_TRUE(dev.Settle()) << dev.Failure();
    return p;
  }
  void Transition(const std::u16string& name, DWORD flags) {
    pm().Transition(dev, name, flags);
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  sim::PowerManager& pm() { return sim::PowerManager::Of(dev); }
  bool Logged(const std::u16string& text) {
    auto lines = LogLines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::u16string& l) { return l.find(text) != l.npos; });
  }
  size_t Count(const std::string& needle) { return Trace(needle).size(); }
  // Runs `fn` on the daemon's main thread and lets device time pass until it has returned.
  void Call(sim::Process* p, std::function<void()> fn) {
    bool done = false;
    if (dev.RunInProcess(p, [&] {
          fn();
          done = true;
        })) {
      return;
    }
    ASSERT_TRUE(dev.RunUntil([&] { return done; }, 60000)) << dev.Failure();
  }
};

TEST_F(Power, DisplayOnSoonAfterACallEndedIsIgnored) {
  sim::Process* p = Boot();
  Transition(u"screenoff", POWER_STATE_IDLE);
  ASSERT_TRUE(dev.Settle());
  ASSERT_TRUE(dev.RunFor(5000));
  dev.RunInProcess(p, [&] { core::G().CallEndTick = static_cast<uint32_t>(dev.Now() - 1000); });
  Transition(u"on", POWER_STATE_ON);
  EXPECT_TRUE(Logged(u"DS: 10000 ignored"));
  EXPECT_TRUE(Trace("timer Dorvane2 id=1034").empty());
}

TEST_F(Power, PowerButtonWithMusicPlayingAsksForIdleInsteadOfLocking) {
  sim::Process* p = Boot();
  dev.files().AddFile(device::kFenkPath);
  dev.Launch(device::kFenkPath, u"", 5);
  ASSERT_TRUE(dev.RunUntilIdle());
  int before = pm().unattendedReferences;
  Transition(u"unattended", POWER_STATE_UNATTENDED);
  EXPECT_EQ(Count("power request state=0x00100000"), 1u);
  EXPECT_TRUE(Trace("id=1045").empty());
  EXPECT_EQ(pm().unattendedReferences, before - 1);
  bool active = true;
  dev.RunInProcess(p, [&] { active = core::G().UnattendedActive; });
  EXPECT_FALSE(active);
}

TEST_F(Power, PowerButtonDuringARingingCallHangsUp) {
  sim::Process* p = Boot();
  dev.RunInProcess(p, [] {
    settings::S().CallerID = 1;
    core::G().Incoming = 1;
  });
  Transition(u"unattended", POWER_STATE_UNATTENDED);
  EXPECT_EQ(Count("post -> Dorvane2 32774 (0x8006 PhoneKey) wParam=113"), 1u);
  EXPECT_EQ(Count("post -> Vurl 32845"), 1u);
  EXPECT_TRUE(Trace("id=1045").empty());
  EXPECT_TRUE(Logged(u"Power button hang up"));
}

TEST_F(Power, UnattendedModeIsLeftAloneOnOsVersionFour) {
  sim::Process* p = Boot();
  size_t notes = Count("power unattended");
  bool started = true;
  Call(p, [&] {
    settings::S().OsMajorVersion = 4;
    core::G().UnattendedActive = 1;
    started = power::StartUnattendedMode(true);
    power::StopUnattendedMode();
  });
  EXPECT_FALSE(started);
  EXPECT_EQ(Count("power unattended"), notes);
}

TEST_F(Power, StartUnattendedOnlyWithForceWhileActive) {
  sim::Process* p = Boot();
  bool plain = true, forced = false;
  size_t notes = Count("power unattended on");
  dev.RunInProcess(p, [&] {
    core::G().UnattendedActive = 1;
    plain = power::StartUnattendedMode(false);
    forced = power::StartUnattendedMode(true);
  });
  EXPECT_FALSE(plain);
  EXPECT_TRUE(forced);
  EXPECT_EQ(Count("power unattended on"), notes + 1);
  // A refused release leaves the mode marked active so that timer 1049 tries again.
  dev.faults().Arm("PowerPolicyNotify", {}, sim::Faults::kAlways);
  bool active = false;
  dev.RunInProcess(p, [&] {
    power::StopUnattendedMode();
    active = core::G().UnattendedActive;
  });
  EXPECT_TRUE(active);
}

TEST_F(Power, DestroyStopsAThreadWaitingOutTheWakeUpDelay) {
  dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Vurl", u"WakeUpDelayMS", REG_DWORD,
                          {0x10, 0x27, 0, 0});  // 10 s
  sim::Process* p = Boot();
  Transition(u"screenoff", POWER_STATE_IDLE);
  PostMessageW(FindWindowW(u"Dorvane2", u"Dorvane2"), WM_CLOSE, 0, 0);
  ASSERT_TRUE(dev.RunFor(2000)) << dev.Failure();
  EXPECT_TRUE(p->ended);
  ASSERT_TRUE(dev.RunFor(10000)) << dev.Failure();
  EXPECT_TRUE(Trace("foreground Vurl").empty());
}

TEST_F(Power, NoQueueMeansNoPowerDrivenLocking) {
  pm().running = false;
  Boot();
  EXPECT_TRUE(Logged(u"Error: couldn't create MsgQueue or request PowerNotifications"));
  Transition(u"screenoff", POWER_STATE_IDLE);
  ASSERT_TRUE(dev.Settle());
  EXPECT_TRUE(Trace("foreground Vurl").empty());
}

TEST_F(Power, BatteryChangeReachesTheSlideScreenAndTenListeners) {
  sim::Process* p = Boot();
  // Ten real windows of other programs as listeners.
  std::vector<HWND> windows;
  for (int i = 0; i < 10; ++i) {
    std::u16string name = u"lis" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    dev.files().AddFile(u"\\Windows\\" + name + u".exe");
    dev.Launch(u"\\Windows\\" + name + u".exe", u"", 5);
    ASSERT_TRUE(dev.RunUntilIdle());
    windows.push_back(FindWindowW(name.c_str(), name.c_str()));
  }
  dev.RunInProcess(p, [&] {
    for (size_t i = 0; i < windows.size(); ++i) core::G().listeners[i] = windows[i];
  });
  pm().PowerInfo(dev, 0, 37);
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_EQ(Count("post -> Vurl 32771 (0x8003 Battery) wParam=37"), 1u);
  EXPECT_EQ(Count("post -> Vurl 32802"), 1u);
  EXPECT_EQ(Count("32771 (0x8003 Battery) wParam=37"), 11u);
  EXPECT_TRUE(Logged(u"Battery: 37(0)"));
}

TEST_F(Power, HeadsetInDuringACallStartsNoMusicPanel) {
  dev.files().AddFile(device::kFenkPath);
  sim::Process* p = Boot();
  dev.RunInProcess(p, [] {
    core::G().Talking = 1;
    companions::AwakeMusicPanel();
  });
  EXPECT_EQ(dev.FindProcess(u"fenk.exe"), nullptr);
  dev.RunInProcess(p, [] {
    core::G().Talking = 0;
    companions::AwakeMusicPanel();
  });
  EXPECT_NE(dev.FindProcess(u"fenk.exe"), nullptr);
}

TEST_F(Power, HeadsetOutClosesTheMusicPanelAndWaitsBeforeDismissing) {
  dev.files().AddFile(device::kFenkPath);
  sim::Process* p = Boot();
  dev.Launch(device::kFenkPath, u"", 5);
  ASSERT_TRUE(dev.RunUntilIdle());
  uint64_t start = dev.Now();
  uint64_t end = 0;
  Call(p, [&] {
    settings::S().HPcloseFenk = 2;
    companions::CloseMusicPanel();
    end = dev.Now();
  });
  EXPECT_EQ(Count("post -> Fenk 16"), 1u);
  EXPECT_GE(end - start, 1000u);
  EXPECT_EQ(dev.FindProcess(u"fenk.exe"), nullptr);
}

TEST_F(Power, SleepTimerPausesOnlyWhatPlays) {
  dev.files().AddFile(device::kFenkPath);
  sim::Process* p = Boot();
  dev.Launch(device::kFenkPath, u"", 5);
  ASSERT_TRUE(dev.RunUntilIdle());
  Call(p, [] { companions::StopMusicPanel(); });
  EXPECT_EQ(Count("post -> Fenk 273 (0x111 WM_COMMAND) wParam=301"), 1u);
  EXPECT_EQ(Count("post -> Fenk 16"), 1u);
  dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Fenk", u"CurrentTitle", REG_SZ, {0, 0});
  dev.Launch(device::kFenkPath, u"", 5);
  ASSERT_TRUE(dev.RunUntilIdle());
  dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Fenk", u"CurrentTitle", REG_SZ, {0, 0});
  Call(p, [] { companions::StopMusicPanel(); });
  EXPECT_EQ(Count("wParam=301"), 1u);
  EXPECT_EQ(Count("post -> Fenk 16"), 2u);
}

// Damaged or cut-short broadcasts change nothing they do not carry.
TEST_F(Power, ShortAndEmptyBroadcastsAreHarmless) {
  sim::Process* p = Boot();
  uint8_t battery = 0;
  uint8_t displayOff = 1;
  Call(p, [&] {
    uint8_t record[44] = {};
    power::HandleBroadcast(record, 0);
    power::HandleBroadcast(record, 11);
    // A power-info change too short to hold the battery byte.
    record[0] = PBT_POWERINFOCHANGE;
    record[8] = 28;
    power::HandleBroadcast(record, 12 + 22);
    // A transition without data.
    record[0] = PBT_TRANSITION;
    record[4] = 0x00;
    record[6] = 0x10;
    record[8] = 0;
    power::HandleBroadcast(record, 12);
    battery = core::G().BatteryPercent;
    displayOff = core::G().DisplayOff;
  });
  EXPECT_EQ(battery, 80);
  EXPECT_EQ(displayOff, 0);
}

// A name longer than the read holds is taken as far as it came.
TEST_F(Power, ACutShortStateNameStillCounts) {
  sim::Process* p = Boot();
  uint8_t displayOff = 1;
  Call(p, [&] {
    core::G().DisplayOff = 1;
    core::G().DisplayOnTick = 0;
    std::u16string name = u"onwithaverylongstatename";
    uint8_t record[44] = {};
    DWORD header[3] = {PBT_TRANSITION, POWER_STATE_ON, static_cast<DWORD>(name.size() * 2 + 2)};
    std::memcpy(record, header, sizeof header);
    std::memcpy(record + 12, name.data(), 32);
    power::HandleBroadcast(record, sizeof record);
    displayOff = core::G().DisplayOff;
  });
  EXPECT_EQ(displayOff, 0);
  EXPECT_TRUE(Logged(u"Power State: 0x10000 onwithaverylongs LCDOff=1"));
}

// "resuming" counts as the display coming on only while a delayed unlock waits.
TEST_F(Power, ResumingTurnsTheDisplayOnOnlyDuringADelayedUnlock) {
  sim::Process* p = Boot();
  Transition(u"suspend", POWER_STATE_SUSPEND);
  uint8_t displayOff = 0;
  Transition(u"resuming", POWER_STATE_ON);
  Call(p, [&] { displayOff = core::G().DisplayOff; });
  EXPECT_EQ(displayOff, 1);
  Call(p, [] { core::G().DelayUnlockPending = 1; });
  Transition(u"Resuming", POWER_STATE_ON);
  Call(p, [&] { displayOff = core::G().DisplayOff; });
  EXPECT_EQ(displayOff, 0);
  EXPECT_TRUE(Trace("id=1034").empty());
}

}  // namespace
