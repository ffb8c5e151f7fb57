// The daemon window as other programs see it: what each message and timer makes it do, what it
// answers, how it closes, and which messages travel on to the slide screen and the listeners.
#include "core/state.h"
#include "lock/slide_screen.h"
#include "platform/user.h"
#include "settings/settings.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

constexpr char16_t kPhoneState[] = u"HKLM\\System\\State\\Phone";

class Dispatch : public TracedDaemonTest {
 protected:
  bool DaemonGone() { return DaemonWindow() == 0 && dev.FindProcess(u"dorvane2.exe") == nullptr; }
  // Wakes the slide screen in front; it locks and reports it.
  void LockNow() {
    InDaemon([] { lock::AwakeSlideScreen(true, false); });
    ASSERT_EQ(ForegroundWindow(), SlideWindow());
  }
  std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", v);
    return buf;
  }
};

// --- What the window procedure answers ---

TEST_F(Dispatch, EveryTimerIdAnswersOneAndUnknownIdsDoNothing) {
  Boot();
  auto m = Here();
  for (WPARAM id : {1026u, 1028u, 1048u, 0u, 4242u, 0xFFFFFFFFu})
    EXPECT_EQ(Send(WM_TIMER, id), 1) << "timer " << id;
  Wait(10000);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", kAny)));
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));
  EXPECT_NE(DaemonWindow(), 0u);
}

TEST_F(Dispatch, HandledMessagesAnswerOneAndOthersGetTheDefault) {
  Boot();
  EXPECT_EQ(Send(32769), 1);         // refresh the slide screen window
  EXPECT_EQ(Send(32824, 1), 1);      // volume panel shown
  EXPECT_EQ(Send(32778, 3), 1);      // signal strength
  EXPECT_EQ(Send(32809), 1);         // stop the wallpaper changes
  EXPECT_EQ(Send(33029, 0, 13), 1);  // an Outlook task created
  // The daemon's own messages to the slide screen and unused numbers are not its to handle.
  for (UINT msg : {32771u, 32776u, 32789u, 32795u, 32801u, 32841u, 32850u, 32854u, 32867u})
    EXPECT_EQ(Send(msg, 1, 1), DefWindowProcW(DaemonWindow(), msg, 1, 1)) << msg;
}

// --- Closing ---

TEST_F(Dispatch, CloseWithNoticeEndsAboutTwoSecondsLaterWithoutOk) {
  Boot();
  auto m = Here();
  Post(WM_CLOSE, 1);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1033, 2000),
                                 MessageBoxShown("Dialog", "Dorvane2 & Vurl are closing...")}));
  HWND box = dev.windows().Find(u"Dialog", u"Dorvane2 Message");
  ASSERT_NE(box, 0u);
  EXPECT_EQ(ForegroundWindow(), box);
  EXPECT_TRUE(Logged(m, "Close Message 1"));

  // The notice does not stop the daemon from working meanwhile.
  Post(32778, 4);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32778, 4, 0)}));

  Wait(1999);
  EXPECT_FALSE(DaemonGone());
  Wait(1);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1033), Posted("Dialog", WM_CLOSE),
                                 Posted("Dorvane2", WM_CLOSE, 0), Exited("dorvane2.exe")}));
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_TRUE(DaemonGone());
  EXPECT_EQ(dev.windows().Find(u"Dialog", nullptr), 0u);
  EXPECT_TRUE(Logged(m, "Close Message 0"));
  EXPECT_TRUE(Logged(m, "WM_DESTROY end"));
}

TEST_F(Dispatch, CloseWithNoticeEndsOnTimeEvenWhenOkWasPressed) {
  Boot();
  Post(WM_CLOSE, 1);
  Wait(300);
  HWND box = dev.windows().Find(u"Dialog", u"Dorvane2 Message");
  ASSERT_NE(box, 0u);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_EQ(dev.windows().Find(u"Dialog", nullptr), 0u);
  EXPECT_FALSE(DaemonGone());
  Wait(1699);
  EXPECT_FALSE(DaemonGone());
  Wait(1);
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_TRUE(DaemonGone());
}

TEST_F(Dispatch, CloseWithAnyOtherWParamDestroysAtOnceInItsOrder) {
  Boot();
  auto m = Here();
  Post(WM_CLOSE, 7);
  EXPECT_TRUE(DaemonGone());
  EXPECT_TRUE(NoneOf(Since(m), MessageBoxShown("*")));
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", 1033)));
  auto lines = LogSince(m);
  std::vector<std::string> destroy;
  for (const auto& l : lines)
    if (l.rfind("WM_DESTROY", 0) == 0) destroy.push_back(l);
  EXPECT_EQ(destroy, (std::vector<std::string>{"WM_DESTROY", "WM_DESTROY 2", "WM_DESTROY 3",
                                               "WM_DESTROY 3", "WM_DESTROY 4", "WM_DESTROY 5",
                                               "WM_DESTROY 6", "WM_DESTROY end"}));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "Close Message 7");
}

TEST_F(Dispatch, CloseAllClosesTheSlideScreenThenDestroysWithoutNotice) {
  Boot();
  auto m = Here();
  Post(32788);
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", WM_CLOSE), Posted("Dorvane2", WM_DESTROY)}));
  EXPECT_TRUE(NoneOf(Since(m), MessageBoxShown("*")));
  EXPECT_TRUE(DaemonGone());
  EXPECT_EQ(SlideWindow(), 0u);
  EXPECT_TRUE(Logged(m, "WM_DESTROY end"));
}

// --- Listeners and forwarding ---

TEST_F(Dispatch, ListenersTakeTenWindowsAndRemovalClearsOneSlot) {
  Boot();
  std::vector<HWND> apps;
  for (int i = 0; i <= 10; ++i) {
    apps.push_back(StartInert(u"app" + platform::U16(std::to_string(i))));
    ASSERT_NE(apps.back(), 0u);
  }
  for (HWND h : apps) Post(32818, h);
  auto m = Here();
  Post(32778, 7);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32778, 7, 0)}));
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(Count(Since(m), Posted("app" + std::to_string(i), 32778, 7, 0)), 1u) << i;
  EXPECT_EQ(Count(Since(m), Msg("app10", kAny)), 0u) << "a full table takes no 11th window";

  // Two slots freed; the 11th program now fits, and registering it twice fills both.
  Post(32819, apps[3]);
  Post(32819, apps[4]);
  Post(32818, apps[10]);
  Post(32818, apps[10]);
  m = Here();
  Post(32778, 8);
  EXPECT_EQ(Count(Since(m), Msg("app3", kAny)), 0u);
  EXPECT_EQ(Count(Since(m), Msg("app4", kAny)), 0u);
  EXPECT_EQ(Count(Since(m), Posted("app10", 32778, 8, 0)), 2u);

  // Removal clears only the first slot that holds the window.
  Post(32819, apps[10]);
  m = Here();
  Post(32778, 9);
  EXPECT_EQ(Count(Since(m), Posted("app10", 32778, 9, 0)), 1u);
  Post(32819, apps[10]);
  m = Here();
  Post(32778, 10);
  EXPECT_EQ(Count(Since(m), Msg("app10", kAny)), 0u);
  EXPECT_EQ(Count(Since(m), Posted("app0", 32778, 10, 0)), 1u);

  // A window that was never registered: nothing changes.
  Post(32819, 0x1234);
  m = Here();
  Post(32778, 11);
  for (int i : {3, 4, 10})
    EXPECT_EQ(Count(Since(m), Msg("app" + std::to_string(i), kAny)), 0u) << i;
  for (int i : {0, 1, 2, 5, 6, 7, 8, 9})
    EXPECT_EQ(Count(Since(m), Posted("app" + std::to_string(i), 32778, 11, 0)), 1u) << i;
}

TEST_F(Dispatch, TheDaemonWindowAsItsOwnListenerCausesNoMessageStorm) {
  Boot();
  // Should the daemon keep posting to itself, end it rather than run out of memory.
  size_t toDaemon = 0;
  dev.trace().live = [&](const sim::TraceEvent& e) {
    if (e.kind == sim::TraceKind::Post && e.cls == "Dorvane2" && ++toDaemon == 1000)
      dev.Kill(u"dorvane2.exe");
  };
  Post(32818, DaemonWindow());
  Post(32818, DaemonWindow());
  auto m = Here();
  Post(32778, 1);
  ASSERT_TRUE(dev.RunFor(1000)) << dev.Failure();
  dev.trace().live = nullptr;
  EXPECT_LE(Count(Since(m), Msg("Dorvane2", 32778)), 3u);
  EXPECT_NE(DaemonWindow(), 0u);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32778, 1)}));
}

struct Forwarded {
  UINT msg;
  WPARAM wParam;
  UINT outMsg;
  WPARAM outWParam;
  bool toListeners;
};

TEST_F(Dispatch, StateMessagesReachTheSlideScreenAndOnlyForwardedOnesTheListeners) {
  SetFlag(u"HPstartFenk", 0);  // keep the music panel out of the headset messages
  Boot();
  HWND listener = StartInert(u"widget");
  Post(32818, listener);
  InDaemon([] { core::G().DisplayOff = 1; });
  const Forwarded cases[] = {
      {32778, 5, 32778, 5, true},        // signal strength
      {32787, 2, 32787, 2, true},        // operator, phone status
      {32798, 1, 32798, 1, true},        // notification override
      {32799, 3, 32799, 3, true},        // Bluetooth
      {32800, 1, 32800, 1, true},        // Wi-Fi
      {32812, 2, 32812, 2, true},        // connections
      {32807, 0xF, 32820, 4, true},      // headset mask with the 0x8 bit: as the MS headset
      {32807, 0x7, 32807, 1, true},      // headset mask reduced to bits 0x9
      {32820, 0xFF, 32820, 4, true},     // MS headset bit
      {32848, 0xFF, 32820, 0x10, true},  // stereo headset bit
      {32847, 1, 32847, 1, true},        // wired headset
      {32790, 6, 32790, 6, false},       // next alarm
      {32813, 1, 32813, 1, false},       // music panel title
      {32817, 9, 32817, 9, false},       // weather
      {32823, 4, 32823, 4, false},       // messenger unread
      {32835, 0, 32835, 0, false},       // synchronising
  };
  for (const auto& c : cases) {
    auto m = Here();
    Post(c.msg, c.wParam);
    EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", c.outMsg, c.outWParam, 1)}))
        << "message " << c.msg;
    if (c.toListeners)
      EXPECT_TRUE(
          Exactly(Since(m), Msg("widget", kAny), {Posted("widget", c.outMsg, c.outWParam, 0)}))
          << "message " << c.msg;
    else
      EXPECT_TRUE(NoneOf(Since(m), Msg("widget", kAny))) << "message " << c.msg;
  }
}

// --- Counters ---

TEST_F(Dispatch, NegativeCountsAreKeptButNeverSentOn) {
  Boot();
  Post(32796, 0);
  Post(32779, 2);
  Post(32780, 3);
  auto m = Here();
  Post(32781, static_cast<WPARAM>(-1));
  Post(32782, static_cast<WPARAM>(-1));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  Post(32783, static_cast<WPARAM>(-1));  // e-mail goes on as it is, but is not repeated
  Post(32823, 8);
  Post(32835, 1);

  m = Here();
  Post(32803);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny),
                      {Posted("Vurl", 32796, 0), Posted("Vurl", 32779, 2), Posted("Vurl", 32780, 3),
                       Posted("Vurl", 32822), Posted("Vurl", 32823, 8), Posted("Vurl", 32849),
                       Posted("Vurl", 32835, 1), Posted("Vurl", 32816)}));

  // Counts back at 0 and above are sent again; a running music panel gets its three messages.
  Post(32781, 0);
  Post(32782, 5);
  Post(32783, 6);
  StartInert(u"Fenk");
  m = Here();
  Post(32803);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny),
                      {Posted("Vurl", 32796, 0), Posted("Vurl", 32779, 2), Posted("Vurl", 32780, 3),
                       Posted("Vurl", 32781, 0), Posted("Vurl", 32782, 5), Posted("Vurl", 32783, 6),
                       Posted("Vurl", 32822), Posted("Vurl", 32823, 8), Posted("Vurl", 32849),
                       Posted("Vurl", 32835, 1), Posted("Vurl", 32813, 0), Posted("Vurl", 32814, 0),
                       Posted("Vurl", 32815), Posted("Vurl", 32816)}));
}

TEST_F(Dispatch, EmailCountWithLockNotificationArmsThePreviewTimer) {
  SetFlag(u"LockNotification", 1);
  Boot();
  auto m = Here();
  for (WPARAM count : {1u, 3u, 2u, 0u}) Post(32783, count);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32783, 1), TimerSet("Dorvane2", 1044, 3000),
                                 Posted("Vurl", 32783, 3), TimerSet("Dorvane2", 1044, 3000),
                                 Posted("Vurl", 32783, 2), TimerSet("Dorvane2", 1044, 500),
                                 Posted("Vurl", 32783, 0), TimerKilled("Dorvane2", 1044)}));
  EXPECT_EQ(Count(Since(m), TimerSet("Dorvane2", 1044)), 3u);
  EXPECT_TRUE(Logged(m, "WM_CHANGE_MESSAGINGTOTALEMAILUNREAD 3(1)"));
  EXPECT_TRUE(Logged(m, "WM_CHANGE_MESSAGINGTOTALEMAILUNREAD 0(2)"));
  // Never a repeat-lock request: that belongs to the counter forward used without the option.
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32854)));
  Wait(5000);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32852)));
}

TEST_F(Dispatch, EmailPreviewWaitsForSynchronisationAndWakesTheLockedScreen) {
  SetFlag(u"LockNotification", 1);
  SetFlag(u"ShowEmailPreview", 1);
  Boot();
  LockNow();
  Post(32835, 1);  // synchronising
  auto m = Here();
  Post(32783, 2);
  Wait(3000);
  Wait(3000);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32852)));
  EXPECT_TRUE(NoneOf(Since(m), TimerKilled("Dorvane2", 1044)));
  Post(32835, 0);
  Wait(3000);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1044), Posted("Vurl", 32852, 2)}));
  EXPECT_EQ(Count(Since(m), Msg("Vurl", 32852)), 1u);
}

TEST_F(Dispatch, EmailPreviewIsNotShownDuringACallOrWhenUnlocked) {
  SetFlag(u"LockNotification", 1);
  SetFlag(u"ShowEmailPreview", 1);
  Boot();
  auto m = Here();
  Post(32783, 1);
  Wait(3000);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1044)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32852)));

  LockNow();
  SetDword(kPhoneState, u"Active Call Count", 1);
  m = Here();
  Post(32783, 2);
  Wait(3000);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1044)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32852)));
}

TEST_F(Dispatch, CountersAskTheLockedScreenToRepeatTheLock) {
  SetFlag(u"LockNotification", 1);
  Boot();
  // Unlocked: counters only go to the slide screen.
  auto m = Here();
  Post(32782, 2);
  Post(32779, 1);
  EXPECT_TRUE(
      Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32782, 2), Posted("Vurl", 32779, 1)}));

  LockNow();
  m = Here();
  Post(32782, 3);
  Post(32782, 0);
  Post(32779, 4);
  Post(32779, 0);
  EXPECT_TRUE(
      Exactly(Since(m), Msg("Vurl", kAny),
              {Posted("Vurl", 32782, 3), Posted("Vurl", 32854, 0), Posted("Vurl", 32782, 0),
               Posted("Vurl", 32779, 4), Posted("Vurl", 32854, 0), Posted("Vurl", 32779, 0)}));
  EXPECT_TRUE(Logged(m, "Post & Repeat Lock 3"));
  EXPECT_TRUE(Logged(m, "Post & Repeat Lock 0"));
  EXPECT_TRUE(Logged(m, "WM_CHANGE_PHONEMISSEDCALLS 4"));

  // In a call, or with the display off, the lock is not repeated.
  InDaemon([] { core::G().Talking = 1; });
  m = Here();
  Post(32782, 4);
  Post(32779, 5);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32854)));
  InDaemon([] {
    core::G().Talking = 0;
    core::G().DisplayOff = 1;
  });
  m = Here();
  Post(32782, 6);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32782, 6, 1)}));
  EXPECT_FALSE(Logged(m, "Post & Repeat Lock 6"));
}

TEST_F(Dispatch, MissedCallsRepeatTheLockEvenWithoutLockNotification) {
  Boot();
  LockNow();
  auto m = Here();
  Post(32779, 2);
  Post(32782, 2);
  EXPECT_TRUE(
      Exactly(Since(m), Msg("Vurl", kAny),
              {Posted("Vurl", 32779, 2), Posted("Vurl", 32854, 0), Posted("Vurl", 32782, 2)}));
}

TEST_F(Dispatch, NewSmsWakesTheLockedScreenWithAPreviewOnlyWhenTheCountGrows) {
  SetFlag(u"LockNotification", 1);
  SetFlag(u"ShowSMSPreview", 1);
  Boot();
  LockNow();
  auto m = Here();
  Post(32780, 2);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny))) << "the preview is given half a second";
  Wait(500);
  EXPECT_TRUE(InOrder(Since(m), {Noted("power request state=0x00010000"), Posted("Vurl", 32852, 0),
                                 Posted("Vurl", 32780, 2)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32854)));

  // Not more than before: the count goes on and the lock is repeated.
  m = Here();
  Post(32780, 2);
  Wait(500);
  Post(32780, 1);
  Wait(500);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny),
                      {Posted("Vurl", 32780, 2), Posted("Vurl", 32854, 0), Posted("Vurl", 32780, 1),
                       Posted("Vurl", 32854, 0)}));

  // No new message: no wait, no preview.
  m = Here();
  Post(32780, 0);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32780, 0)}));
  EXPECT_TRUE(Logged(m, "Post & Repeat Lock 0"));
}

TEST_F(Dispatch, NewMmsPreviewNeedsItsOwnOptionAndNoCall) {
  SetFlag(u"LockNotification", 1);
  SetFlag(u"ShowMMSPreview", 1);
  Boot();
  LockNow();
  auto m = Here();
  Post(32780, 1);  // SMS preview is off
  Wait(500);
  Post(32781, 1);
  Wait(500);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny),
                      {Posted("Vurl", 32780, 1), Posted("Vurl", 32854, 0), Posted("Vurl", 32852, 1),
                       Posted("Vurl", 32781, 1)}));

  SetDword(kPhoneState, u"Active Call Count", 1);
  m = Here();
  Post(32781, 2);
  Wait(500);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32852)));
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32781, 2)}));
}

// --- Outlook notifications ---

TEST_F(Dispatch, OutlookNotificationsRefreshAppointmentsOrRepostTheTaskCount) {
  Boot();
  Post(32796, 5);
  auto m = Here();
  Post(33029, 0, 13);
  Post(33030, 0, 13);
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", kAny)));
  EXPECT_TRUE(NoneOf(Since(m), Msg("*", 32796)));
  EXPECT_TRUE(Logged(m, "POOM Msg:8105 0"));
  EXPECT_TRUE(Logged(m, "POOM Msg:8106 0"));

  m = Here();
  Post(33031, 0, 13);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Dorvane2", 32796, 5), Posted("Vurl", 32796, 5)}));
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", kAny)));

  for (UINT msg : {33029u, 33030u, 33031u}) {
    m = Here();
    Post(msg, 0, 9);
    EXPECT_TRUE(Exactly(Since(m), TimerSet("*", kAny), {TimerSet("Dorvane2", 1036, 3500)})) << msg;
    EXPECT_TRUE(NoneOf(Since(m), Msg("*", 32796))) << msg;
    EXPECT_TRUE(Logged(m, "POOM Msg:" + Hex(msg) + " 0")) << msg;
  }
  m = Here();
  Post(32784);
  EXPECT_TRUE(Exactly(Since(m), TimerSet("*", kAny), {TimerSet("Dorvane2", 1036, 3000)}));
}

// --- Timers ---

TEST_F(Dispatch, UnknownCallerTimerNamesTheCallerUnknownAndHandsItOver) {
  SetFlag(u"CallerID", 1);
  Boot();
  HWND menu = StartInert(u"menu_worker");
  auto m = Here();
  Send(WM_TIMER, 1029);  // not ringing: nothing
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  EXPECT_FALSE(dev.registry().GetValue(kStore, u"IncomingNumber"));

  // A phone key from the slide screen makes the daemon look up the system's call menu window.
  ASSERT_NE(menu, 0u);
  Post(32774, 0);
  InDaemon([] {
    core::G().Incoming = 1;
    core::G().Locked = 1;
    settings::S().CallerID = 0;
  });
  // With CallerID off the call is the phone's own window's to show.
  m = Here();
  Send(WM_TIMER, 1029);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  InDaemon([] { settings::S().CallerID = 1; });
  m = Here();
  EXPECT_EQ(Send(WM_TIMER, 1029), 1);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32801, DaemonWindow(), 1)}));
  auto number = dev.registry().GetValue(kStore, u"IncomingNumber");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->type, REG_SZ);
  std::u16string text(reinterpret_cast<const char16_t*>(number->bytes.data()),
                      number->bytes.size() / 2);
  EXPECT_EQ(text.substr(0, text.find(u'\0')), u"unknown");
  auto name = dev.registry().GetValue(kStore, u"IncomingName");
  ASSERT_TRUE(name);
  EXPECT_EQ(name->type, REG_SZ);
  EXPECT_TRUE(name->bytes.empty() || name->bytes[0] == 0);

  // The caller was handed over once; the incoming-name message now goes through.
  m = Here();
  Send(WM_TIMER, 1029);
  Post(32853, 1);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32853, 1)}));
}

TEST_F(Dispatch, UnknownCallerTimerReportsCallWaitingFirst) {
  SetFlag(u"CallerID", 1);
  Boot();
  HWND menu = StartInert(u"menu_worker");
  InDaemon([menu] {
    core::G().Incoming = 1;
    core::G().CallWaiting = 1;
    core::G().Locked = 1;
    core::G().IncomingMenuWindow = menu;
  });
  auto m = Here();
  Send(WM_TIMER, 1029);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32801, DaemonWindow(), 3)}));

  InDaemon([] {
    core::G().CallWaiting = 0;
    core::G().Locked = 0;
    core::G().CallerPosted = 0;
  });
  m = Here();
  Send(WM_TIMER, 1029);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32801, DaemonWindow(), 2)}));
}

TEST_F(Dispatch, TopmostIsTakenBackAfterACall) {
  Boot();
  auto m = Here();
  EXPECT_EQ(Send(WM_TIMER, 1030), 1);
  EXPECT_TRUE(InOrder(Since(m), {StyleSet("Vurl", 0x60000000)}));
}

TEST_F(Dispatch, WallpaperChangesOnItsPeriodUnlessTheStopMessageCame) {
  SetFlag(u"WallpaperChangeTime", 1);
  Boot();
  auto m = Here();
  Wait(60000);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1032, 60000), Posted("Vurl", 32806, 0)}));
  EXPECT_TRUE(Logged(m, "WM_ChangeWallpaper"));

  // Ringing: the timer goes on, the wallpaper stays.
  InDaemon([] { core::G().Incoming = 1; });
  m = Here();
  Wait(60000);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1032, 60000)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32806)));

  InDaemon([] { core::G().Incoming = 0; });
  m = Here();
  Post(32809);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1032)}));
  Wait(180000);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32806)));
}

// Switching the wallpaper changes off in the settings editor must stop them, not turn the
// change timer into one that fires without pause.
TEST_F(Dispatch, WallpaperChangesSwitchedOffInTheSettingsStopWithoutSpinning) {
  SetFlag(u"WallpaperChangeTime", 1);
  Boot();
  dev.scheduler().stepBudget = 100000;  // a spin shows at once
  SetFlag(u"WallpaperChangeTime", 0);
  auto m = Here();
  Post(32811);
  ASSERT_TRUE(dev.RunFor(130000)) << dev.Failure();
  EXPECT_LE(Count(Since(m), Msg("Vurl", 32806)), 1u);
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("Dorvane2", 1032, 0)));
}

TEST_F(Dispatch, AWallpaperTimerMessageWithoutAnIntervalDoesNotSpin) {
  Boot();
  dev.scheduler().stepBudget = 100000;
  auto m = Here();
  Post(WM_TIMER, 1032);
  ASSERT_TRUE(dev.RunFor(120000)) << dev.Failure();
  EXPECT_LE(Count(Since(m), Msg("Vurl", 32806)), 1u);
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("Dorvane2", 1032, 0)));
}

TEST_F(Dispatch, RemindersAreCountedAndShownOnTheLockedScreenWithLockNotification) {
  SetFlag(u"LockNotification", 1);
  Boot();
  LockNow();
  dev.registry().CreateKey(u"HKCU\\System\\State\\Shell\\Reminders\\Dentist");
  dev.registry().CreateKey(u"HKCU\\System\\State\\Shell\\Reminders\\Call Bob");
  auto m = Here();
  Post(32855);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1042, 1000)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", kAny)));
  Wait(1000);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1042), Posted("Dorvane2", 32849)}));
  EXPECT_TRUE(
      Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32851, 2), Posted("Vurl", 32849, 2)}));
  EXPECT_TRUE(Logged(m, "Change_Reminder 2(0) LCD=0"));

  // The same count again: shown again, but the count is not sent twice.
  m = Here();
  Post(32855);
  Wait(1000);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32851, 2)}));

  // During a call nothing is shown; the changed count still goes out.
  dev.registry().DeleteKey(u"HKCU\\System\\State\\Shell\\Reminders\\Dentist");
  SetDword(kPhoneState, u"Active Call Count", 1);
  m = Here();
  Post(32855);
  Wait(1000);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", kAny), {Posted("Vurl", 32849, 1)}));
}

TEST_F(Dispatch, MusicPanelTimerBringsTheSlideScreenBackInFront) {
  Boot();
  auto arm = [&] { InDaemon([] { SetTimer(core::G().daemonWindow, 1040, 8000, nullptr); }); };
  // Unlocked: the timer just stops.
  arm();
  auto m = Here();
  Wait(8000);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1040)}));
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));

  LockNow();
  StartInert(u"tmail");  // some other program in front: try again every second
  arm();
  m = Here();
  Wait(8000);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1040, 1000)}));
  Wait(1000);
  EXPECT_EQ(Count(Since(m), TimerSet("Dorvane2", 1040, 1000)), 2u);
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));

  // The music panel in front: the slide screen comes back and the timer stops.
  StartInert(u"Fenk");
  m = Here();
  Wait(1000);
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), Posted("Vurl", WM_SETFOCUS, 1, 0),
                                 TimerKilled("Dorvane2", 1040)}));
  Wait(5000);
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("Dorvane2", 1040)));
}

TEST_F(Dispatch, PasswordRetryTimerRunsUntilTheSlideScreenTakesTheMessage) {
  Boot();
  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  InDaemon([] { SetTimer(core::G().daemonWindow, 1043, 1000, nullptr); });
  auto m = Here();
  Wait(3000);
  EXPECT_TRUE(NoneOf(Since(m), TimerKilled("Dorvane2", 1043)));
  ASSERT_NE(dev.Launch(u"\\Program Files\\Vurl\\vurl.exe", u"-hide", 0), nullptr);
  ASSERT_TRUE(dev.RunUntilIdle());
  Wait(1000);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32850, 0), TimerKilled("Dorvane2", 1043)}));
  Wait(3000);
  EXPECT_EQ(Count(Since(m), Msg("Vurl", 32850)), 1u);
}

TEST_F(Dispatch, ManilaReleaseTimerBringsTheSlideScreenForward) {
  Boot();
  auto m = Here();
  Send(WM_TIMER, 1041);
  EXPECT_TRUE(InOrder(Since(m), {Shown("Vurl", SW_SHOW), Posted("Vurl", WM_SETFOCUS, 1, 0)}));
  EXPECT_TRUE(Logged(m, "SetSlideForeground"));
}

TEST_F(Dispatch, SleepTimerLocksAndHandsThePowerOffToTheSlideScreen) {
  Boot();
  auto m = Here();
  Post(WM_TIMER, 1047);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32773))) << "waits for the slide screen first";
  Wait(800);
  EXPECT_TRUE(InOrder(Since(m),
                      {Shown("Vurl", SW_SHOW), BroughtToFront("Vurl"), Posted("Vurl", 32773, 0)}));

  // With the display off the power-off is not handed over.
  InDaemon([] { core::G().DisplayOff = 1; });
  m = Here();
  Post(WM_TIMER, 1047);
  Wait(800);
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32773)));
}

TEST_F(Dispatch, SleepTimerDoesNotLockWhileAnExceptionProgramIsInFront) {
  Boot();
  StartInert(u"iexplore");
  auto m = Here();
  Post(WM_TIMER, 1047);
  Wait(800);
  EXPECT_TRUE(NoneOf(Since(m), Shown("Vurl")));
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32773, 0)}));
}

TEST_F(Dispatch, UnattendedTimerActsOnlyWhileTheDisplayIsOff) {
  Boot();
  auto m = Here();
  Send(WM_TIMER, 1049);
  EXPECT_FALSE(Logged(m, "WM_StopUnattendedLater"));
  InDaemon([] { core::G().DisplayOff = 1; });
  Send(WM_TIMER, 1049);
  EXPECT_TRUE(Logged(m, "WM_StopUnattendedLater"));
}

// --- Requests from other programs ---

TEST_F(Dispatch, ShutDownRunsTheConfiguredProgramUnlessTheVendorLibraryIsThere) {
  Boot();
  auto m = Here();
  Post(32864);  // nothing configured
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));

  dev.registry().SetValue(kStore, u"ShutDownEXE", REG_SZ,
                          {'\\', 0, 'o', 0, 'f', 0, 'f', 0, '.', 0, 'e', 0, 'x', 0, 'e', 0, 0, 0});
  Post(32864);  // configured but not there
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));

  dev.files().AddFile(u"\\off.exe");
  LockNow();
  m = Here();
  Post(32864);
  Wait(500);
  EXPECT_TRUE(InOrder(Since(m), {Launched("off.exe", "")}));
  EXPECT_TRUE(Logged(m, "Shut Down"));
  // No longer taken as locked.
  m = Here();
  InDaemon([] { lock::AwakeSlideScreen(true, false); });
  EXPECT_TRUE(Logged(m, "Awaking Vurl cl:1 lk:0"));

  // The vendor's library switches the device off instead.
  dev.files().AddFile(u"\\Windows\\HtcUtil.dll");
  m = Here();
  Post(32864);
  Wait(500);
  EXPECT_TRUE(NoneOf(Since(m), Launched("*")));
}

TEST_F(Dispatch, RefreshSettingsClosesTheSlideScreenAndRestartsItHidden) {
  Boot();
  LockNow();
  SetDword(kStore, u"WakeUpDelayMS", 2000);
  SetFlag(u"WallpaperChangeTime", 3);
  auto m = Here();
  Post(32811);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1032, 180000), Sent("Vurl", WM_CLOSE, 0, 0),
                                 TimerSet("Dorvane2", 1027, 800)}));
  EXPECT_TRUE(Logged(m, "WM_RefreshSetting"));
  EXPECT_TRUE(Logged(m, "Set Change Wallpaper 3"));
  EXPECT_EQ(SlideWindow(), 0u);

  Wait(799);
  EXPECT_TRUE(NoneOf(Since(m), Launched("vurl.exe")));
  Wait(1);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1027), Launched("vurl.exe", "-hide"),
                                 TimerSet("Dorvane2", 1025, 1000)}));
  EXPECT_TRUE(Logged(m, "Awaking Vurl cl:0 lk:0"));
  ASSERT_NE(SlideWindow(), 0u);
  EXPECT_FALSE(IsWindowVisible(SlideWindow()));

  // The new settings count from now on.
  Wait(1000);
  LockNow();
  m = Here();
  Post(32839, 1);  // stylus pulled out
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1037, 3000)}));
}

TEST_F(Dispatch, StylusOutAndRotationUnlockAfterTheDelayWhenEnabled) {
  SetFlag(u"UnlockOnRotate", 1);
  Boot();
  LockNow();
  auto m = Here();
  Post(WM_SETTINGCHANGE, 0x3002);
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1037, 1500)}));
  Wait(1500);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32792, 0), Posted("Vurl", 32841, 0)}));

  // Other setting changes, and rotation with the display off, do nothing.
  LockNow();
  m = Here();
  Post(WM_SETTINGCHANGE, 0x3003);
  Post(WM_SETTINGCHANGE, 0);
  InDaemon([] { core::G().DisplayOff = 1; });
  Post(WM_SETTINGCHANGE, 0x3002);
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", 1037)));
  InDaemon([] { core::G().DisplayOff = 0; });

  Post(32839, 0x101);  // stylus out: only the low byte counts
  EXPECT_TRUE(InOrder(Since(m), {TimerSet("Dorvane2", 1037, 1500)}));
}

TEST_F(Dispatch, StylusAndRotationAreIgnoredWhenSwitchedOff) {
  SetFlag(u"StylusOutUnlock", 0);
  SetFlag(u"StylusInLock", 1);
  Boot();
  LockNow();
  auto m = Here();
  Post(32839, 1);
  Post(WM_SETTINGCHANGE, 0x3002);
  Post(32839, 0);
  Wait(2000);
  EXPECT_TRUE(NoneOf(Since(m), TimerSet("*", 1037)));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32821)));
}

TEST_F(Dispatch, PowerOffRequestGoesToTheSlideScreenUnlessSuspendIsOff) {
  Boot();
  auto m = Here();
  Post(32775);
  EXPECT_TRUE(
      Exactly(Since(m), Msg("*", kAny), {Posted("Dorvane2", 32775), Posted("Vurl", 32773, 0)}));

  // A music player keeps the device awake: only the display goes off.
  StartInert(u"wmplayer");
  m = Here();
  Post(32775);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Dorvane2", 32770)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32773)));
  EXPECT_TRUE(Logged(m, "WM_OffDisplay"));
}

TEST_F(Dispatch, PowerOffRequestWithNoPowerSuspendOnlyTurnsTheDisplayOff) {
  SetFlag(u"NoPowerSuspend", 1);
  Boot();
  auto m = Here();
  Post(32775);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Dorvane2", 32770)}));
  EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", 32773)));
}

TEST_F(Dispatch, BatteryRequestAnswersTheAskingWindow) {
  Boot();
  HWND asker = StartInert(u"gauge");
  auto m = Here();
  Post(32804, 0);
  Post(32804, asker);
  EXPECT_TRUE(Exactly(Since(m), Msg("gauge", kAny), {Posted("gauge", 32771, 80, 0)}));
}

}  // namespace
