// The notification database and LED driver as programs see them, and the daemon's timed
// wake-ups and vibration where a scenario cannot reach (other programs' notifications, the
// call flags, a timer set again during the hand-over).
#include <cstring>
#include <vector>

#include "core/state.h"
#include "platform/kernel.h"
#include "platform/nled.h"
#include "platform/notify.h"
#include "settings/settings.h"
#include "sim_fixture.h"
#include "state/timed_wakeups.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

// A time trigger for `ms` after the device's current moment.
CE_NOTIFICATION_TRIGGER TimeTrigger(std::u16string& application, uint64_t msAhead) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME ft{};
  SystemTimeToFileTime(&now, &ft);
  uint64_t ticks =
      ((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) + msAhead * 10000;
  ft = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  CE_NOTIFICATION_TRIGGER t{};
  t.dwSize = sizeof t;
  t.dwType = CNT_TIME;
  t.lpszApplication = application.data();
  FileTimeToSystemTime(&ft, &t.stStartTime);
  return t;
}

TEST_F(SimTest, NotificationDatabaseAndLedDriverAsProgramsSeeThem) {
  Run(u"p.exe", [] {
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, u"Wake");
    std::u16string wake = u"\\\\.\\Notifications\\NamedEvents\\Wake";
    std::u16string program = u"\\Windows\\alarm.exe";
    CE_NOTIFICATION_TRIGGER t = TimeTrigger(wake, 1000);
    HANDLE first = CeSetUserNotificationEx(0, &t, nullptr);
    t = TimeTrigger(program, 60000);
    std::u16string text = u"Dentist at 09:30";
    CE_USER_NOTIFICATION user{};
    user.pwszDialogText = text.data();
    HANDLE second = CeSetUserNotificationEx(0, &t, &user);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    t.dwSize = 52;
    EXPECT_EQ(CeSetUserNotificationEx(0, &t, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    DWORD count = 0;
    EXPECT_TRUE(CeGetUserNotificationHandles(nullptr, 0, &count));
    EXPECT_EQ(count, 2u);
    HANDLE handles[2] = {};
    EXPECT_FALSE(CeGetUserNotificationHandles(handles, 1, &count));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(CeGetUserNotificationHandles(handles, 2, &count));
    EXPECT_EQ(handles[1], second);

    DWORD need = 0;
    EXPECT_FALSE(CeGetUserNotification(second, 0, &need, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    std::vector<uint64_t> store(need / 8 + 1);
    auto* buffer = reinterpret_cast<BYTE*>(store.data());
    EXPECT_TRUE(CeGetUserNotification(second, need, &need, buffer));
    CE_NOTIFICATION_INFO_HEADER header;
    std::memcpy(&header, buffer, sizeof header);
    EXPECT_EQ(header.hNotification, second);
    EXPECT_EQ(header.dwStatus, 0u);
    auto* inside = reinterpret_cast<BYTE*>(header.pcent);
    EXPECT_TRUE(inside > buffer && inside < buffer + need);
    EXPECT_EQ(std::u16string(header.pcent->lpszApplication), program);
    EXPECT_EQ(header.pcent->dwType, CNT_TIME);
    EXPECT_NE(header.pceun, nullptr);
    if (header.pceun) {
      EXPECT_EQ(std::u16string(header.pceun->pwszDialogText), text);
      EXPECT_EQ(std::u16string(header.pceun->pwszSound), u"");
    }

    // Not a kernel handle: CloseHandle leaves it registered.
    EXPECT_FALSE(CloseHandle(second));
    EXPECT_EQ(WaitForSingleObject(ev, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(CeGetUserNotificationHandles(nullptr, 0, &count));
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(CeClearUserNotification(second));
    EXPECT_FALSE(CeClearUserNotification(second));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(EventModify(ev, EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(EventModify(ev, 7));

    NLED_COUNT_INFO info{};
    EXPECT_TRUE(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &info));
    EXPECT_EQ(info.cLeds, 3u);
    NLED_SETTINGS_INFO s{};
    s.LedNum = 3;
    s.OffOnBlink = NLED_ON;
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
    s.LedNum = 2;
    EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
    s.LedNum = 0;
    s.OffOnBlink = NLED_BLINK;
    EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
    return 0;
  });
  dev.config().leds = 3;
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
  EXPECT_EQ(TraceLines("vibration on (led 2)").size(), 1u);
  EXPECT_EQ(TraceLines("led 0 blink").size(), 1u);
  EXPECT_EQ(dev.leds().State(2), NLED_ON);
}

class Wakeups : public TracedDaemonTest {
 protected:
  // Registers a notification as another program would, before or beside the daemon.
  void Register(std::u16string application, uint64_t msAhead) {
    CE_NOTIFICATION_TRIGGER t = TimeTrigger(application, msAhead);
    ASSERT_NE(CeSetUserNotificationEx(0, &t, nullptr), 0u);
  }
  void SetSleepTimer(uint64_t msAhead) {
    std::u16string unused;
    CE_NOTIFICATION_TRIGGER t = TimeTrigger(unused, msAhead);
    FILETIME ft{};
    SystemTimeToFileTime(&t.stStartTime, &ft);
    std::vector<uint8_t> bytes(8);
    std::memcpy(bytes.data(), &ft, 8);
    dev.registry().SetValue(kStore, u"SleepTimer", REG_BINARY, bytes);
  }
  std::vector<std::u16string> Registered() {
    std::vector<std::u16string> out;
    for (const auto& n : dev.notifications().Entries()) out.push_back(n.application);
    return out;
  }
  bool ListenerRunning() {
    bool running = false;
    InDaemon([&] { running = state::IsTimerListenerRunning(); });
    return running;
  }
};

TEST_F(Wakeups, StartAndShutdownClearOnlyTheDaemonsOwnNotifications) {
  const std::u16string other = u"\\Windows\\alarm.exe";
  Register(other, 3600000);
  Register(u"\\\\.\\Notifications\\NamedEvents\\Dorvane2Notify", 3600000);
  Boot();
  EXPECT_EQ(Registered(), std::vector<std::u16string>{other});
  EXPECT_TRUE(ListenerRunning());

  SetSleepTimer(60000);
  Post(32865);
  EXPECT_EQ(Registered().size(), 2u);
  auto m = Here();
  Post(WM_CLOSE, 0);
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
  EXPECT_EQ(Registered(), std::vector<std::u16string>{other});
  EXPECT_TRUE(InOrder(Since(m), {Noted("notification cleared"), Exited("dorvane2.exe")}));
}

// Timer 1047 of a fired notification must not stop the listener of a timer set meanwhile,
// or that one would fire with nobody listening.
TEST_F(Wakeups, ATimerSetDuringTheHandOverKeepsItsListener) {
  Boot();
  SetSleepTimer(10000);
  Post(32865);
  Wait(10500);
  SetSleepTimer(20000);
  Post(32865);
  auto m = Here();
  Wait(3000);
  EXPECT_TRUE(InOrder(Since(m), {TimerKilled("Dorvane2", 1047)}));
  EXPECT_TRUE(ListenerRunning());
  m = Here();
  Wait(20000);
  EXPECT_TRUE(InOrder(Since(m), {Noted("notification fired"), TimerSet("Dorvane2", 1047, 2000)}));
  EXPECT_FALSE(ListenerRunning());
}

// Without its events a listener would spin on failing waits; none is started.
TEST_F(Wakeups, WithoutItsEventsNoListenerRuns) {
  dev.faults().Arm("CreateEventW", std::nullopt, sim::Faults::kAlways);
  auto m = Here();
  Boot();
  EXPECT_FALSE(ListenerRunning());
  EXPECT_TRUE(Logged(m, "Error: TimerEventListener"));
  EXPECT_TRUE(dev.Settle()) << dev.Failure();
}

TEST_F(Wakeups, AConnectedCallBuzzesOnlyWithTheOptionAndAVibrator) {
  SetFlag(u"VibrateOnConnect", 1);
  Boot();
  InDaemon([] { core::G().Talking = 1; });
  auto m = Here();
  Post(32785);
  Wait(200);
  EXPECT_TRUE(InOrder(Since(m), {Noted("vibration on (led 1)"), Noted("vibration off (led 1)")}));
  EXPECT_TRUE(Logged(m, "Vibrate 150(1)"));

  InDaemon([] { settings::S().VibrateOnConnect = 0; });
  m = Here();
  Post(32785);
  InDaemon([] {
    settings::S().VibrateOnConnect = 1;
    core::G().Talking = 0;
  });
  Post(32785);
  EXPECT_TRUE(NoneOf(Since(m), Noted("vibration")));
}

TEST_F(Wakeups, ASingleLedIsNoVibrator) {
  dev.config().leds = 1;
  SetFlag(u"VibrateOnConnect", 1);
  Boot();
  InDaemon([] { core::G().Talking = 1; });
  auto m = Here();
  Post(32785);
  Post(32829, 400);
  EXPECT_TRUE(NoneOf(Since(m), Noted("led")));
  EXPECT_TRUE(NoneOf(Since(m), Noted("vibration")));
}

}  // namespace
