// Threads, events, waits, processes and the snapshot on the simulated device.
#include <memory>
#include <vector>

#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "sim_fixture.h"

namespace {

using Log = std::vector<std::string>;

struct Shared {
  HANDLE ev = 0;
  Log* log = nullptr;
};

DWORD Waiter(LPVOID p) {
  auto* s = static_cast<Shared*>(p);
  DWORD r = WaitForSingleObject(s->ev, 5000);
  s->log->push_back(std::to_string(GetTickCount()) + (r == WAIT_OBJECT_0 ? " woke" : " timeout"));
  return 0;
}

class SimKernel : public SimTest {
 protected:
  Log log;
};

TEST_F(SimKernel, AutoResetEventWakesOneWaiterPerSet) {
  Log* out = &log;
  Run(u"events.exe", [out] {
    Shared s{CreateEventW(nullptr, FALSE, FALSE, nullptr), out};
    HANDLE a = CreateThread(nullptr, 0, &Waiter, &s, 0, nullptr);
    HANDLE b = CreateThread(nullptr, 0, &Waiter, &s, 0, nullptr);
    Sleep(100);
    SetEvent(s.ev);
    HANDLE both[2] = {a, b};
    WaitForMultipleObjects(2, both, TRUE, INFINITE);
    return 0;
  });
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(log, (Log{"100 woke", "5000 timeout"}));
}

TEST_F(SimKernel, PulseReleasesOnlyThreadsWaitingNow) {
  Log* out = &log;
  Run(u"pulse.exe", [out] {
    Shared s{CreateEventW(nullptr, TRUE, FALSE, nullptr), out};
    CreateThread(nullptr, 0, &Waiter, &s, 0, nullptr);
    CreateThread(nullptr, 0, &Waiter, &s, 0, nullptr);
    Sleep(200);
    PulseEvent(s.ev);  // both waiters go; the event is reset
    Sleep(10);
    out->push_back(WaitForSingleObject(s.ev, 0) == WAIT_TIMEOUT ? "reset" : "still set");
    Sleep(6000);
    return 0;
  });
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(log, (Log{"200 woke", "200 woke", "reset"}));
}

TEST_F(SimKernel, NamedEventsAreSharedAcrossProcesses) {
  Log* out = &log;
  Run(u"one.exe", [out] {
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, u"Dorvane2Notify");
    out->push_back(GetLastError() == ERROR_ALREADY_EXISTS ? "one: existed" : "one: new");
    WaitForSingleObject(e, INFINITE);
    out->push_back("one: " + std::to_string(GetTickCount()));
    return 0;
  });
  Run(u"two.exe", [out] {
    Sleep(300);
    HANDLE e = CreateEventW(nullptr, TRUE, FALSE, u"dorvane2notify");
    out->push_back(GetLastError() == ERROR_ALREADY_EXISTS ? "two: existed" : "two: new");
    SetEvent(e);
    return 0;
  });
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(log, (Log{"one: new", "two: existed", "one: 300"}));
}

TEST_F(SimKernel, LongWaitsCostOnlyVirtualTime) {
  auto ticks = std::make_shared<std::vector<DWORD>>();
  Run(u"sleeper.exe", [ticks] {
    ticks->push_back(GetTickCount());
    Sleep(9000);
    ticks->push_back(GetTickCount());
    SYSTEMTIME st;
    GetLocalTime(&st);
    ticks->push_back(st.wHour * 3600 + st.wMinute * 60 + st.wSecond);
    return 0;
  });
  SYSTEMTIME start{2008, 6, 0, 1, 7, 0, 0, 0};
  dev.SetClock(start);
  dev.SetBootTick(45000);
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(*ticks, (std::vector<DWORD>{45000, 54000, 7 * 3600 + 54}));
  EXPECT_EQ(dev.Now(), 54000u);
}

struct Guard {
  explicit Guard(int* c) : count(c) {}
  ~Guard() { ++*count; }
  int* count;
};

TEST(SimTeardown, TerminatedAndRunningThreadsAreUnwound) {
  int released = 0;
  {
    sim::Device dev;
    dev.files().AddFile(u"\\Windows\\stuck.exe");
    dev.RegisterProgram(u"stuck.exe", [&released](const std::u16string&, int) {
      HANDLE t = CreateThread(
          nullptr, 0,
          [](LPVOID p) -> DWORD {
            Guard g(static_cast<int*>(p));
            Sleep(INFINITE);
            return 0;
          },
          &released, 0, nullptr);
      Sleep(50);
      EXPECT_EQ(WaitForSingleObject(t, 300), static_cast<DWORD>(WAIT_TIMEOUT));
      TerminateThread(t, 7);
      EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0);
      DWORD code = 0;
      GetExitCodeThread(t, &code);
      EXPECT_EQ(code, 7u);
      Guard g(&released);
      Sleep(INFINITE);  // still waiting when the device goes away
      return 0;
    });
    dev.Launch(u"\\Windows\\stuck.exe", u"", SW_SHOW);
    ASSERT_TRUE(dev.Settle());
    EXPECT_EQ(dev.Now(), 350u);
    EXPECT_EQ(released, 0);  // parked, not unwound yet
  }
  EXPECT_EQ(released, 2);
}

struct Counter {
  int value = 0;
};

TEST_F(SimKernel, EachProcessHasItsOwnGlobals) {
  auto values = std::make_shared<std::vector<int>>();
  for (const char16_t* exe : {u"a.exe", u"b.exe"}) {
    Run(exe, [values] {
      auto& c = platform::ProcessGlobal<Counter>();
      c.value += 5;
      Sleep(10);
      values->push_back(platform::ProcessGlobal<Counter>().value);
      return 0;
    });
  }
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(*values, (std::vector<int>{5, 5}));
}

TEST_F(SimKernel, LaunchingAndTheProcessSnapshot) {
  dev.files().AddFile(u"\\Program Files\\Vurl\\vurl.exe");
  auto names = std::make_shared<std::vector<std::u16string>>();
  auto results = std::make_shared<std::vector<BOOL>>();
  Run(u"launcher.exe", [names, results] {
    SHELLEXECUTEINFO sei{};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpFile = u"\\Program Files\\Vurl\\vurl.exe";
    sei.lpParameters = u"-hide";
    sei.nShow = SW_HIDE;
    results->push_back(ShellExecuteEx(&sei));
    sei.lpFile = u"\\Program Files\\Vurl\\missing.exe";
    results->push_back(ShellExecuteEx(&sei));
    results->push_back(GetLastError() == ERROR_FILE_NOT_FOUND);
    PROCESS_INFORMATION pi{};
    results->push_back(CreateProcessW(u"\\Program Files\\Vurl\\vurl", u"", nullptr, nullptr, FALSE,
                                      0, nullptr, nullptr, nullptr, &pi));
    results->push_back(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0) == INVALID_HANDLE_VALUE);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS, 0);
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
      names->push_back(e.szExeFile);
    CloseToolhelp32Snapshot(snap);
    return 0;
  });
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_EQ(*results, (std::vector<BOOL>{TRUE, FALSE, TRUE, TRUE, TRUE}));
  EXPECT_EQ(*names,
            (std::vector<std::u16string>{u"NK.EXE", u"launcher.exe", u"vurl.exe", u"vurl.exe"}));
  // A program with no stand-in runs as a plain window named after it.
  EXPECT_NE(FindWindowW(u"vurl", u"vurl"), 0u);
  EXPECT_EQ(TraceLines("launcher.exe launch vurl.exe -hide").size(), 1u);
  EXPECT_TRUE(dev.Kill(u"VURL.EXE"));
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(FindWindowW(u"vurl", nullptr), 0u);
  EXPECT_EQ(dev.FindProcess(u"vurl.exe"), nullptr);
}

TEST_F(SimKernel, ALoopThatNeverBlocksIsReportedNotHung) {
  dev.scheduler().stepBudget = 10000;
  Run(u"spin.exe", [] {
    for (;;) Sleep(0);
    return 0;
  });
  EXPECT_FALSE(dev.Settle());
  EXPECT_NE(dev.Failure().find("spin.exe"), std::string::npos);
}

// The phone at UTC+1 with summer time: it keeps UTC, shows local time, and describes its zone
// with the dates of the current year. Setting the clock leaves the tick count alone.
TEST_F(SimKernel, TheDeviceZoneTurnsItsUtcClockIntoLocalTime) {
  sim::TimeZone zone;
  zone.bias = -60;
  zone.daylight = true;
  zone.daylightStart = {3, 30, 2, 0};
  zone.daylightEnd = {10, 26, 3, 0};
  dev.clock().SetZone(zone);
  dev.SetClock(SYSTEMTIME{2009, 6, 0, 1, 12, 0, 0, 0});
  SYSTEMTIME utc{}, local{};
  GetSystemTime(&utc);
  GetLocalTime(&local);
  EXPECT_EQ(utc.wHour, 10);
  EXPECT_EQ(local.wHour, 12);
  TIME_ZONE_INFORMATION tz{};
  EXPECT_EQ(GetTimeZoneInformation(&tz), TIME_ZONE_ID_DAYLIGHT);
  EXPECT_EQ(tz.Bias, -60);
  EXPECT_EQ(tz.StandardBias, 0);
  EXPECT_EQ(tz.DaylightBias, -60);
  EXPECT_EQ(std::u16string(tz.StandardName), u"UTC+01:00");
  EXPECT_EQ(tz.DaylightDate.wYear, 2009);
  EXPECT_EQ(tz.DaylightDate.wMonth * 100 + tz.DaylightDate.wDay, 330);
  EXPECT_EQ(tz.DaylightDate.wHour, 2);
  EXPECT_EQ(tz.DaylightDate.wDayOfWeek, 1);  // a Monday in 2009
  EXPECT_EQ(tz.StandardDate.wMonth * 100 + tz.StandardDate.wDay, 1026);
  EXPECT_EQ(tz.StandardDate.wHour, 3);

  // A winter moment: FileTimeToLocalFileTime shifts it by the summer bias in force now, the
  // zone-specific conversion by the winter one.
  SYSTEMTIME winter{2009, 1, 0, 15, 12, 0, 0, 0}, out{};
  FILETIME ft{}, shifted{};
  ASSERT_TRUE(SystemTimeToFileTime(&winter, &ft));
  ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &shifted));
  ASSERT_TRUE(FileTimeToSystemTime(&shifted, &out));
  EXPECT_EQ(out.wHour, 14);
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &winter, &out));
  EXPECT_EQ(out.wHour, 13);

  dev.SetBootTick(5000);
  sim::SetLocalTimeByUser(dev, SYSTEMTIME{2009, 12, 0, 24, 18, 0, 0, 0});
  EXPECT_EQ(GetTickCount(), 5000u);
  GetSystemTime(&utc);
  GetLocalTime(&local);
  EXPECT_EQ(utc.wHour * 100 + utc.wDay, 1724);
  EXPECT_EQ(local.wHour * 100 + local.wDay, 1824);
  EXPECT_EQ(GetTimeZoneInformation(&tz), TIME_ZONE_ID_STANDARD);
  EXPECT_EQ(TraceLines("clock set"),
            std::vector<std::string>{
                "00:00:05.000 device clock set 2009-12-24 18:00:00 (UTC 2009-12-24 17:00:00)"});
}

}  // namespace
