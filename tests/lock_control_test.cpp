// The lock state and the daemon's control of the slide screen: the lock and unlock sequences,
// waking, launching and bringing the slide screen forward, the delayed unlock and wake-up, the
// hand-over of a call and the task bar.
#include "core/state.h"
#include "device/programs/programs.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "platform/kernel.h"
#include "platform/user.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

constexpr UINT kLock = 32793;
constexpr UINT kUnlock = 32792;
constexpr UINT kLockState = 32841;
constexpr char16_t kPhoneState[] = u"HKLM\\System\\State\\Phone";

class LockControl : public TracedDaemonTest {
 protected:
  // Wakes the slide screen in front; the slide screen locks and reports it.
  void LockNow() {
    InDaemon([] { lock::AwakeSlideScreen(true, false); });
    ASSERT_EQ(ForegroundWindow(), SlideWindow());
  }
  // The user slides the slide screen open.
  void UserUnlock() {
    ASSERT_TRUE(PostMessageW(SlideWindow(), device::kUserActionMessage, device::kUserUnlock, 0));
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  // Stands in for the power thread, which arms the wake-up delay when the display comes on.
  void ArmWakeUpDelay(UINT ms) {
    InDaemon([ms] { SetTimer(core::G().daemonWindow, 1034, ms, nullptr); });
  }
  // The slide screen program is replaced by one that starts but never opens its window.
  void MakeSlideScreenSlowToStart() {
    dev.RegisterProgram(u"vurl.exe", [](const std::u16string&, int) {
      Sleep(600000);
      return 0;
    });
  }
};

TEST_F(LockControl, LockAndUnlockAreReportedToTheSlideScreenAfterTheirSteps) {
  Boot();
  auto m = Here();
  LockNow();
  EXPECT_TRUE(
      InOrder(Since(m), {Shown("Vurl", SW_SHOW), BroughtToFront("Vurl"), Posted("Dorvane2", kLock),
                         TimerSet("Dorvane2", 1049, 500), Posted("Vurl", kLockState, 1, 0)}));
  EXPECT_EQ(Count(Since(m), Msg("Vurl", kLockState)), 1u);
  EXPECT_TRUE(Logged(m, "Locked 0"));

  // The display came on meanwhile; the unlock stops the pending wake-up before it reports.
  ArmWakeUpDelay(5000);
  m = Here();
  UserUnlock();
  EXPECT_TRUE(InOrder(Since(m), {Posted("Dorvane2", kUnlock), TimerKilled("Dorvane2", 1034),
                                 Posted("Vurl", kLockState, 0, 0)}));
  EXPECT_EQ(Count(Since(m), Msg("Vurl", kLockState)), 1u);
  EXPECT_TRUE(Logged(m, "Unlocked"));
  Wait(6000);
  EXPECT_FALSE(Logged(m, "WM_WakeUpDelay 0"));
}

TEST_F(LockControl, WhileTheDisplayIsOffTheSlideScreenIsToldSo) {
  Boot();
  LockNow();
  InDaemon([] { core::G().DisplayOff = 1; });
  auto m = Here();
  Post(kLock);
  UserUnlock();
  EXPECT_TRUE(
      InOrder(Since(m), {Posted("Vurl", kLockState, 1, 1), Posted("Vurl", kLockState, 0, 1)}));
  EXPECT_TRUE(Logged(m, "Locked 1"));
}

TEST_F(LockControl, LockWithoutSlideScreenPostsNothing) {
  Boot();
  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  auto m = Here();
  Post(kLock);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1049, 500)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  EXPECT_TRUE(Logged(m, "Locked 0"));
  EXPECT_NE(DaemonWindow(), 0u);
}

TEST_F(LockControl, AwakeWhileLockedAndInFrontDoesNothing) {
  Boot();
  LockNow();
  auto m = Here();
  InDaemon([] { lock::AwakeSlideScreen(true, false); });
  EXPECT_TRUE(NoneOf(Since(m), Msg("*", kAny)));
  EXPECT_TRUE(NoneOf(Since(m), Shown("*")));
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));
  EXPECT_EQ(LogSince(m), std::vector<std::string>{"Awaking Vurl cl:1 lk:1"});
}

TEST_F(LockControl, AwakeWhileLockedBehindAnotherProgramBringsTheSlideScreenForward) {
  Boot();
  LockNow();
  HWND other = StartInert(u"tmail");
  ASSERT_EQ(ForegroundWindow(), other);
  auto m = Here();
  InDaemon([] { lock::AwakeSlideScreen(true, false); });
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), Posted("Vurl", WM_SETFOCUS, 1, 0)}));
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));
  EXPECT_TRUE(Logged(m, "SetSlideForeground"));
  EXPECT_FALSE(Logged(m, "Finish Awaking Vurl"));
  char gw[32];
  std::snprintf(gw, sizeof gw, "GW %X", other);
  EXPECT_TRUE(Logged(m, gw));
}

TEST_F(LockControl, HideSlideScreenHidesWhateverTheLockState) {
  Boot();
  LockNow();
  auto m = Here();
  InDaemon([] { lock::HideSlideScreen(); });
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_HIDE)}));
  EXPECT_FALSE(IsWindowVisible(SlideWindow()));
  EXPECT_TRUE(Logged(m, "Hiding Vurl"));

  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  m = Here();
  InDaemon([] { lock::HideSlideScreen(); });
  EXPECT_TRUE(NoneOf(Since(m), Shown("*")));
  EXPECT_FALSE(Logged(m, "Hiding Vurl"));
}

TEST_F(LockControl, AwakeUnlockedShowsTheHiddenSlideScreenInFront) {
  Boot();
  ASSERT_FALSE(IsWindowVisible(SlideWindow()));
  auto m = Here();
  InDaemon([] { lock::AwakeSlideScreen(false, false); });
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), BroughtToFront("Vurl")}));
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));
  EXPECT_EQ(ForegroundWindow(), SlideWindow());
  auto lines = LogSince(m);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Awaking Vurl cl:0 lk:0");
  EXPECT_TRUE(Logged(m, "Incoming=0 Talking=0 OnHold=0 Dialing=0"));
  EXPECT_TRUE(Logged(m, "Finish Awaking Vurl"));
}

TEST_F(LockControl, WithoutSlideScreenItIsLaunchedAtMostOncePerSecond) {
  Boot();
  LockNow();
  dev.Kill(u"vurl.exe");
  MakeSlideScreenSlowToStart();
  ASSERT_TRUE(dev.RunUntilIdle());

  auto m = Here();
  InDaemon([] { lock::AwakeSlideScreen(false, true); });
  EXPECT_TRUE(InOrder(Since(m), {Launched("vurl.exe"), TimerSet("Dorvane2", 1025, 1000)}));
  EXPECT_TRUE(NoneOf(Since(m), Launched("vurl.exe", "-hide")));
  EXPECT_FALSE(Logged(m, "Start & Hide Vurl"));

  // A locked phone's lock screen is started in front, not hidden: the phone stays locked.
  Wait(500);
  InDaemon([] { lock::AwakeSlideScreen(false, true); });
  EXPECT_TRUE(Logged(m, "Awaking Vurl cl:0 lk:1"));
  EXPECT_EQ(Count(Since(m), Launched("vurl.exe")), 1u);

  Wait(499);
  InDaemon([] { lock::AwakeSlideScreen(false, false); });
  EXPECT_EQ(Count(Since(m), Launched("vurl.exe")), 1u);

  // Timer 1025 has given up waiting for the window: the locked phone launches its lock screen
  // once more by itself, in front.
  auto again = Here();
  Wait(1);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1025)}));
  EXPECT_TRUE(InOrder(Since(again), {Launched("vurl.exe", ""), TimerSet("Dorvane2", 1025, 1000)}));
  EXPECT_EQ(Count(Since(m), Launched("vurl.exe")), 2u);

  // Only once: a program that never comes up is left to the next wake.
  Wait(1000);
  EXPECT_EQ(Count(Since(m), Launched("vurl.exe")), 2u);
  InDaemon([] { lock::AwakeSlideScreen(false, false); });
  EXPECT_EQ(Count(Since(m), Launched("vurl.exe")), 3u);
}

// Each way the phone can be in a call: a flag of the line monitor or the system's call count.
struct CallCase {
  const char* name;
  void (*enter)(core::State&);
  uint32_t activeCalls;
};

class AwakeDuringACall : public LockControl, public ::testing::WithParamInterface<CallCase> {};

TEST_P(AwakeDuringACall, DoesNothingUnlessStartingHidden) {
  SetDword(kPhoneState, u"Active Call Count", GetParam().activeCalls);
  Boot();
  auto enter = GetParam().enter;
  InDaemon([enter] { enter(core::G()); });
  auto m = Here();
  InDaemon([] { lock::AwakeSlideScreen(false, false); });
  InDaemon([] { lock::AwakeSlideScreen(true, false); });
  EXPECT_TRUE(NoneOf(Since(m), Shown("*")));
  EXPECT_TRUE(NoneOf(Since(m), BroughtToFront("*")));
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));
  EXPECT_EQ(LogSince(m),
            (std::vector<std::string>{"Awaking Vurl cl:0 lk:0", "Awaking Vurl cl:1 lk:0"}));

  // Restarting the slide screen hidden is not held back by the call.
  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  m = Here();
  InDaemon([] { lock::AwakeSlideScreen(false, true); });
  EXPECT_TRUE(InOrder(Since(m), {Launched("vurl.exe", "-hide")}));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, AwakeDuringACall,
    ::testing::Values(CallCase{"ActiveCallCount", [](core::State&) {}, 1},
                      CallCase{"Incoming", [](core::State& g) { g.Incoming = 1; }, 0},
                      CallCase{"Talking", [](core::State& g) { g.Talking = 1; }, 0},
                      CallCase{"Dialing", [](core::State& g) { g.Dialing = 1; }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LockControl, DelayUnlockWhileUnlockedOnlyForgetsPowerConnected) {
  Boot();
  InDaemon([] { core::G().PowerConnected = 1; });
  auto m = Here();
  InDaemon([] { lock::DelayUnlock(); });
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", kAny)));
  EXPECT_EQ(LogSince(m), std::vector<std::string>{"Delay Unlock L=0 DU=0 PC=0"});
  Wait(5000);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kUnlock)));
}

TEST_F(LockControl, DelayUnlockAsksTheSlideScreenToUnlockAfterTheWakeUpDelay) {
  SetDword(kStore, u"WakeUpDelayMS", 700);
  Boot();
  LockNow();
  ArmWakeUpDelay(300);
  InDaemon([] { core::G().PowerConnected = 1; });
  auto m = Here();
  InDaemon([] { lock::DelayUnlock(); });
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1034), TimerSet("Dorvane2", 1037, 1700)}));
  EXPECT_TRUE(Logged(m, "Delay Unlock L=1 DU=1 PC=1"));

  // The display comes on again before then: the slide screen is only activated.
  ArmWakeUpDelay(100);
  Wait(100);
  EXPECT_TRUE(Logged(m, "WM_WakeUpDelay 1"));
  EXPECT_TRUE(
      InOrder(Since(m), {TimerKilled("Dorvane2", 1034), Posted("Vurl", WM_ACTIVATE, 0, 0)}));

  Wait(1599);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kUnlock)));
  Wait(1);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1037), Posted("Vurl", kUnlock, 1, 0),
                                 Posted("Dorvane2", kUnlock), Posted("Vurl", kLockState, 0, 0)}));
  EXPECT_TRUE(Logged(m, "WM_DelayUnlocked"));

  // Both flags were cleared with the unlock request.
  auto after = Here();
  InDaemon([] { lock::DelayUnlock(); });
  EXPECT_EQ(LogSince(after), std::vector<std::string>{"Delay Unlock L=0 DU=0 PC=0"});
}

TEST_F(LockControl, DelayedUnlockIsDroppedWhenTheUserUnlockedFirst) {
  Boot();
  LockNow();
  InDaemon([] { lock::DelayUnlock(); });
  UserUnlock();
  auto m = Here();
  Wait(1500);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1037)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kUnlock)));
}

TEST_F(LockControl, DelayWakeupRightAfterAReminderOnlyForgetsTheReminder) {
  Boot();
  LockNow();
  StartInert(u"calendar");
  // A reminder pops up while the display is dark; the shell lists it and the state store
  // tells the daemon, which counts the reminders a second later.
  dev.registry().CreateKey(u"HKCU\\System\\State\\Shell\\Reminders\\Meeting");
  Post(32855);
  Wait(1000);
  auto m = Here();
  const uint64_t reminderTick = dev.Now();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
  auto lines = LogSince(m);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0],
            "NT: (" + std::to_string(reminderTick) + " - " + std::to_string(reminderTick) + "; 0)");

  // The next wake-up works normally: the slide screen is behind the calendar and comes forward.
  m = Here();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), Posted("Vurl", WM_SETFOCUS, 1, 0)}));
  EXPECT_TRUE(Logged(m, "Delay Wakeup"));
  EXPECT_NE(LogSince(m).front().find(" - 0; "), std::string::npos);
}

TEST_F(LockControl, DelayWakeupWithTheSlideScreenInFrontFocusesIt) {
  Boot();
  LockNow();
  auto m = Here();
  ArmWakeUpDelay(500);
  Wait(500);
  EXPECT_TRUE(Logged(m, "WM_WakeUpDelay 0"));
  EXPECT_TRUE(
      InOrder(Since(m), {TimerKilled("Dorvane2", 1034), Posted("Vurl", WM_SETFOCUS, 2, 0)}));
  EXPECT_TRUE(NoneOf(Since(m), Shown("*")));
  EXPECT_TRUE(Logged(m, "Delay Wakeup"));
}

TEST_F(LockControl, DelayWakeupDuringACallOrWithAnExceptionProgramLeavesTheScreenAlone) {
  Boot();
  // Unlocked, with a program from the default exception list in front.
  StartInert(u"iexplore");
  auto m = Here();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
  EXPECT_TRUE(Logged(m, "Delay Wakeup"));

  dev.Kill(u"iexplore.exe");
  SetDword(kPhoneState, u"Active Call Count", 2);
  m = Here();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
  EXPECT_FALSE(Logged(m, "Delay Wakeup"));

  SetDword(kPhoneState, u"Active Call Count", 0);
  m = Here();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), BroughtToFront("Vurl")}));
}

TEST_F(LockControl, DelayWakeupCatchesUpAWallpaperChangeMissedWhileAsleep) {
  SetFlag(u"WallpaperChangeTime", 2);
  Boot();
  LockNow();
  // The device slept: the change timer did not run for three minutes.
  InDaemon([] { KillTimer(core::G().daemonWindow, 1032); });
  Wait(90000);
  auto m = Here();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("Dorvane2", 1032)));
  Wait(90000);
  m = Here();
  InDaemon([] { lock::DelayWakeup(); });
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1032, 2000)}));
  auto lines = LogSince(m);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("t=", 0) == 0; }));
  Wait(2000);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32806, 0)}));
}

TEST_F(LockControl, RunCallerHandsTheCallToTheSlideScreenOnce) {
  Boot();
  InDaemon([] {
    core::G().Incoming = 1;
    core::G().CallKind = 2;
  });
  auto m = Here();
  InDaemon([] { lock::RunCaller(true); });
  EXPECT_TRUE(
      InOrder(Since(m), {Posted("Vurl", 32801, DaemonWindow(), 2), StyleSet("Vurl", 0x60000008)}));
  auto lines = LogSince(m);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "RunCaller: 2(0)");

  m = Here();
  InDaemon([] { lock::RunCaller(true); });
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  EXPECT_TRUE(NoneOf(Since(m), StyleSet("Vurl", kAny)));
  EXPECT_EQ(LogSince(m), std::vector<std::string>{"RunCaller: 2(1)"});

  // The slide screen saying it is ready does not hand the call over a second time.
  m = Here();
  Post(32777);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32801)));
}

TEST_F(LockControl, RunCallerWaitsForTheSlideScreenToReportReady) {
  Boot();
  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  InDaemon([] {
    core::G().Incoming = 1;
    core::G().CallKind = 1;
    core::G().Locked = 1;
  });
  auto m = Here();
  InDaemon([] { lock::RunCaller(true); });
  ASSERT_TRUE(dev.RunUntilIdle());
  // Though the ringing phone is busy, the slide screen is started, hidden, with the lock state
  // left as the call found it; it reports ready (32777) and only then is handed the call.
  EXPECT_TRUE(InOrder(Since(m), {Launched("vurl.exe", "-hide"), Posted("Dorvane2", 32777),
                                 Posted("Vurl", 32801, DaemonWindow(), 1)}));
  EXPECT_EQ(Count(Since(m), Msg("Vurl", 32801)), 1u);
  InDaemon([] { EXPECT_EQ(core::G().Locked, 1); });
}

TEST_F(LockControl, RunCallerWithoutRerunIgnoresTheReadyReport) {
  Boot();
  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  InDaemon([] {
    core::G().Incoming = 1;
    core::G().CallKind = 1;
  });
  InDaemon([] { lock::RunCaller(false); });
  ASSERT_NE(dev.Launch(u"\\Program Files\\Vurl\\vurl.exe", u"-hide", 0), nullptr);
  ASSERT_TRUE(dev.RunUntilIdle());
  auto m = Here();
  Post(32777);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32801)));
}

TEST_F(LockControl, CallerPropertyIsPassedOncePerHandedOverCall) {
  Boot();
  auto m = Here();
  Post(32844, 5);  // no call: dropped
  InDaemon([] {
    core::G().Incoming = 1;
    core::G().CallKind = 2;
  });
  Post(32844, 6);
  Post(32844, 7);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", 32844), {Posted("Vurl", 32844, 6)}));

  // Handing the call over starts a new round.
  InDaemon([] { lock::RunCaller(false); });
  m = Here();
  Post(32844, 8);
  Post(32844, 9);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", 32844), {Posted("Vurl", 32844, 8)}));

  // Nothing is passed on for a caller the line could not name.
  InDaemon([] {
    core::G().CallerPosted = 0;
    core::G().UnknownCaller = 1;
  });
  InDaemon([] { lock::RunCaller(false); });
  m = Here();
  Post(32844, 10);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32844)));
}

TEST_F(LockControl, TaskBarIsHiddenAboveTheScreenAndRestoredToTheWorkArea) {
  Boot();
  HWND bar = Window(u"HHTaskBar");
  ASSERT_NE(bar, 0u);
  auto rect = [&] { return dev.windows().Get(bar)->rect; };
  ASSERT_EQ(rect().top, 0);
  ASSERT_EQ(rect().bottom, 26);

  auto m = Here();
  InDaemon([] { lock::HideTaskBar(); });
  EXPECT_TRUE(InOrder(Since(m), {Moved("HHTaskBar")}));
  EXPECT_EQ(rect().left, 0);
  EXPECT_EQ(rect().top, -26);
  EXPECT_EQ(rect().right, 0);
  EXPECT_EQ(rect().bottom, -26);
  EXPECT_EQ(LogSince(m), std::vector<std::string>{"Hide TaskBar"});

  // Already out of sight: its top is no longer 0.
  m = Here();
  InDaemon([] { lock::HideTaskBar(); });
  EXPECT_TRUE(NoneOf(Since(m), Moved("*")));

  m = Here();
  Post(32840);
  EXPECT_TRUE(InOrder(Since(m), {Moved("HHTaskBar")}));
  EXPECT_EQ(rect().left, 0);
  EXPECT_EQ(rect().top, 0);
  EXPECT_EQ(rect().right, 240);
  EXPECT_EQ(rect().bottom, 26);
  EXPECT_TRUE(Logged(m, "UnHide TaskBar 26 294"));

  // In place: nothing to restore.
  m = Here();
  InDaemon([] { lock::UnHideTaskBar(); });
  EXPECT_TRUE(NoneOf(Since(m), Moved("*")));
}

TEST_F(LockControl, TaskBarOutOfItsUsualPlaceIsLeftAloneOrRestoredByItsBottom) {
  Boot();
  HWND bar = Window(u"HHTaskBar");
  ASSERT_NE(bar, 0u);
  auto& r = dev.windows().Get(bar)->rect;

  r = RECT{0, 5, 240, 31};
  auto m = Here();
  InDaemon([] { lock::HideTaskBar(); });
  InDaemon([] { lock::UnHideTaskBar(); });
  EXPECT_TRUE(NoneOf(Since(m), Moved("*")));

  r = RECT{0, -10, 240, 16};  // partly visible: its bottom is still on screen
  InDaemon([] { lock::UnHideTaskBar(); });
  EXPECT_TRUE(NoneOf(Since(m), Moved("*")));

  // Restored to the work area as it is now, whatever the screen.
  r = RECT{0, -30, 240, 0};
  dev.config().workArea = RECT{0, 30, 320, 400};
  InDaemon([] { lock::UnHideTaskBar(); });
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 320);
  EXPECT_EQ(r.bottom, 30);
  EXPECT_TRUE(Logged(m, "UnHide TaskBar 30 400"));
}

TEST_F(LockControl, TaskBarThatIsGoneIsNotTouched) {
  Boot();
  dev.Kill(u"shell32.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  auto m = Here();
  InDaemon([] { lock::HideTaskBar(); });
  InDaemon([] { lock::UnHideTaskBar(); });
  Post(32840);
  EXPECT_TRUE(NoneOf(Since(m), Moved("*")));
  EXPECT_TRUE(LogSince(m).empty());
}

TEST_F(LockControl, BackgroundStartLocksAndThenStartsTheSlideScreenInTheBackground) {
  Boot();
  auto m = Here();
  Post(WM_TIMER, 1045);
  Wait(1200);
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), BroughtToFront("Vurl"),
                                 Posted("Vurl", 32791, 0), Posted("Vurl", kLockState, 1)}));
  EXPECT_TRUE(Logged(m, "BGAutoStart"));

  // Already locked: the slide screen is told synchronously, and the reminder tick is reset.
  m = Here();
  Post(WM_TIMER, 1045);
  Wait(1200);
  EXPECT_TRUE(InOrder(Since(m), {Sent("Vurl", 32843, 0, 0), Sent("Vurl", 32791, 0, 0),
                                 TimerSet("Dorvane2", 1049, 0)}));
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
}

TEST_F(LockControl, BackgroundStartHonoursAutoStartAndExceptionPrograms) {
  SetFlag(u"AutoStart", 0);
  Boot();
  auto m = Here();
  Post(WM_TIMER, 1045);
  Wait(1200);
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32791)));
}

TEST_F(LockControl, StylusPutBackLocksUnlessAnExceptionProgramRuns) {
  SetFlag(u"StylusInLock", 1);
  Boot();
  StartInert(u"iexplore");
  auto m = Here();
  Post(32839, 0);
  Wait(500);
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32821)));

  dev.Kill(u"iexplore.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  m = Here();
  Post(32839, 0);
  Wait(500);
  EXPECT_TRUE(InOrder(
      Since(m), {Shown("Vurl", SW_SHOW), Posted("Dorvane2", kLock), Posted("Vurl", 32821, 0)}));

  // Locked and in front already: nothing more.
  m = Here();
  Post(32839, 0);
  Wait(500);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32821)));
}

TEST_F(LockControl, PredicatesFollowTheStateMessagesAndTheStateStore) {
  SetFlag(u"InCallLock", 2);
  Boot();
  auto ask = [&](bool (*predicate)()) {
    bool answer = false;
    InDaemon([&] { answer = predicate(); });
    return answer;
  };
  Post(32799, 3);  // Bluetooth on (bit 0)
  EXPECT_TRUE(ask(lock::IsInCallLockWanted));
  Post(32799, 2);
  EXPECT_FALSE(ask(lock::IsInCallLockWanted));

  Post(32835, 0x101);  // only the low byte counts
  EXPECT_TRUE(ask(lock::IsSyncing));
  Post(32835, 2);
  EXPECT_FALSE(ask(lock::IsSyncing));

  EXPECT_FALSE(ask(lock::IsOnHold));
  SetDword(kPhoneState, u"Status", 0x4000);
  EXPECT_TRUE(ask(lock::IsOnHold));
  EXPECT_TRUE(ask(lock::IsTalkingOrOnHold));
  EXPECT_FALSE(ask(lock::IsPhoneBusy));  // on hold alone is not a call in progress
  SetDword(kPhoneState, u"Active Call Count", 1);
  EXPECT_TRUE(ask(lock::IsPhoneBusy));
}

}  // namespace
