// Threads, events, waits and libraries.
#include "conformance.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/notify.h"

namespace {

DWORD ReturnsFortyTwo(LPVOID gate) {
  WaitForSingleObject(static_cast<HANDLE>(reinterpret_cast<uintptr_t>(gate)), INFINITE);
  return 42;
}

HANDLE Start(LPTHREAD_START_ROUTINE fn, HANDLE arg) {
  return CreateThread(nullptr, 0, fn, reinterpret_cast<LPVOID>(static_cast<uintptr_t>(arg)), 0,
                      nullptr);
}

}  // namespace

CONFORMANCE_TEST(Events, ManualEventsStaySetAutoEventsReleaseOneWait) {
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  ASSERT_TRUE(manual && automatic);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
  // The device's single call behind SetEvent / ResetEvent.
  EXPECT_TRUE(EventModify(manual, EVENT_SET));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(EventModify(manual, EVENT_RESET));
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_FALSE(EventModify(manual, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(manual);
  CloseHandle(automatic);
}

CONFORMANCE_TEST(Events, PulseReleasesWaitersAndLeavesTheEventReset) {
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PulseEvent(manual);  // no waiter: nothing to release
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  HANDLE t1 = Start(&ReturnsFortyTwo, manual);
  HANDLE t2 = Start(&ReturnsFortyTwo, manual);
  Sleep(100);  // both block on the event
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t1, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  // A thread that is not waiting yet when the pulse comes misses it: on a busy machine the
  // later one may need another pulse. Each pulse leaves the event reset.
  HANDLE both[] = {t1, t2};
  DWORD released = WAIT_TIMEOUT;
  for (int pulse = 0; pulse < 50 && released != WAIT_OBJECT_0; ++pulse) {
    PulseEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    released = WaitForMultipleObjects(2, both, TRUE, 100);
  }
  EXPECT_EQ(released, WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(t2, &code));
  EXPECT_EQ(code, 42u);

  HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE a1 = Start(&ReturnsFortyTwo, automatic);
  HANDLE a2 = Start(&ReturnsFortyTwo, automatic);
  Sleep(100);
  HANDLE autos[] = {a1, a2};
  DWORD first = WAIT_TIMEOUT;
  for (int pulse = 0; pulse < 50 && first == WAIT_TIMEOUT; ++pulse) {
    PulseEvent(automatic);  // releases exactly one waiter, if one waits yet
    first = WaitForMultipleObjects(2, autos, FALSE, 100);
  }
  ASSERT_LT(first, 2u);
  EXPECT_EQ(WaitForSingleObject(autos[1 - first], 100), WAIT_TIMEOUT);
  SetEvent(automatic);
  EXPECT_EQ(WaitForSingleObject(autos[1 - first], 5000), WAIT_OBJECT_0);
  for (HANDLE h : {t1, t2, a1, a2, manual, automatic}) CloseHandle(h);
}

CONFORMANCE_TEST(Events, ANamedEventIsSharedAndReportsThatItExisted) {
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, u"DvConformanceEvent");
  ASSERT_NE(a, 0u);
  SetLastError(0);
  HANDLE b = CreateEventW(nullptr, FALSE, FALSE, u"DvConformanceEvent");
  ASSERT_NE(b, 0u);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_NE(a, b);
  SetEvent(b);
  EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0) << "the first creation's kind holds";
  HANDLE c = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE d = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetEvent(c);
  EXPECT_EQ(WaitForSingleObject(d, 0), WAIT_TIMEOUT) << "unnamed events are separate";
  for (HANDLE h : {a, b, c, d}) CloseHandle(h);
}

CONFORMANCE_TEST(Waits, WaitForMultipleObjectsAnyAllAndTimeOut) {
  HANDLE e[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr),
                 CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitForMultipleObjects(2, e, FALSE, 100), WAIT_TIMEOUT);
  EXPECT_GE(GetTickCount() - start, 84u);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, e, TRUE, 0), WAIT_TIMEOUT);
  // A wait for all that timed out took nothing: the auto event is still set.
  EXPECT_EQ(WaitForMultipleObjects(2, e, FALSE, 0), WAIT_OBJECT_0 + 1);
  SetEvent(e[0]);
  SetEvent(e[1]);
  EXPECT_EQ(WaitForMultipleObjects(2, e, FALSE, 0), WAIT_OBJECT_0) << "the lowest index wins";
  EXPECT_EQ(WaitForMultipleObjects(2, e, TRUE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(e[1], 0), WAIT_TIMEOUT);
  CloseHandle(e[0]);
  CloseHandle(e[1]);
}

CONFORMANCE_TEST(Waits, BadHandlesFailTheWait) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_TRUE(CloseHandle(e));
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(e));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(e));
}

namespace {
DWORD ReportThreadId(LPVOID out) {
  *static_cast<DWORD*>(out) = GetCurrentThreadId();
  return 7;
}
}  // namespace

CONFORMANCE_TEST(Threads, AThreadRunsOnItsOwnIdAndItsHandleSignalsAtExit) {
  DWORD seen = 0, reported = 0;
  HANDLE t = CreateThread(nullptr, 0, &ReportThreadId, &seen, 0, &reported);
  ASSERT_NE(t, 0u);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(seen, reported);
  EXPECT_NE(seen, GetCurrentThreadId());
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(t, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0) << "stays signalled";
  CloseHandle(t);
}

CONFORMANCE_TEST(Threads, SleepLetsTheTickCountAdvance) {
  DWORD start = GetTickCount();
  Sleep(200);
  DWORD slept = GetTickCount() - start;
  EXPECT_GE(slept, 184u);
  EXPECT_LT(slept, 5000u);
  SYSTEMTIME st{};
  GetLocalTime(&st);
  FILETIME ft{};
  EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
  SYSTEMTIME back{};
  EXPECT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ(back.wYear, st.wYear);
  EXPECT_EQ(back.wMinute, st.wMinute);
  EXPECT_EQ(back.wMilliseconds, st.wMilliseconds);
}

CONFORMANCE_TEST(Time, AZoneRecordShiftsByTheBiasInForceAtTheMoment) {
  auto local = [](const TIME_ZONE_INFORMATION& tz, SYSTEMTIME utc) {
    SYSTEMTIME out{};
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(&tz, &utc, &out));
    return out.wMonth * 1000000 + out.wDay * 10000 + out.wHour * 100 + out.wMinute;
  };
  // UTC+1, summer time from the last Sunday of March 02:00 to the last Sunday of October 03:00:
  // in 2008 from 01:00 UTC on 30 March to 01:00 UTC on 26 October.
  TIME_ZONE_INFORMATION cet{};
  cet.Bias = -60;
  cet.DaylightBias = -60;
  cet.DaylightDate = SYSTEMTIME{0, 3, 0, 5, 2, 0, 0, 0};
  cet.StandardDate = SYSTEMTIME{0, 10, 0, 5, 3, 0, 0, 0};
  EXPECT_EQ(local(cet, {2008, 3, 0, 30, 0, 59, 0, 0}), 3300159);
  EXPECT_EQ(local(cet, {2008, 3, 0, 30, 1, 0, 0, 0}), 3300300);
  EXPECT_EQ(local(cet, {2008, 10, 0, 26, 0, 59, 0, 0}), 10260259);
  EXPECT_EQ(local(cet, {2008, 10, 0, 26, 1, 0, 0, 0}), 10260200);
  // UTC-3 with summer time across the new year: from the third Sunday of October to the third
  // Sunday of February.
  TIME_ZONE_INFORMATION south{};
  south.Bias = 180;
  south.DaylightBias = -60;
  south.DaylightDate = SYSTEMTIME{0, 10, 0, 3, 0, 0, 0, 0};
  south.StandardDate = SYSTEMTIME{0, 2, 0, 3, 0, 0, 0, 0};
  EXPECT_EQ(local(south, {2009, 1, 0, 15, 12, 0, 0, 0}), 1151000);
  EXPECT_EQ(local(south, {2009, 7, 0, 15, 12, 0, 0, 0}), 7150900);
  // Without daylight dates only the bias counts.
  TIME_ZONE_INFORMATION east{};
  east.Bias = -330;
  EXPECT_EQ(local(east, {2008, 12, 0, 31, 20, 0, 0, 0}), 1010130);

  SYSTEMTIME bad{2008, 13, 0, 1, 0, 0, 0, 0}, out{};
  EXPECT_FALSE(SystemTimeToTzSpecificLocalTime(&cet, &bad, &out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  FILETIME farOff{0, 0x80000000u};
  EXPECT_FALSE(FileTimeToSystemTime(&farOff, &out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

CONFORMANCE_TEST(Libraries, AMissingLibraryOrNoNameLoadsNothing) {
  EXPECT_EQ(LoadLibraryW(u"no_such_library_here.dll"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryW(nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

CONFORMANCE_TEST(Automation, DatesCountDaysFrom1899AndTextsKnowTheirLength) {
  SYSTEMTIME noon{2008, 5, 1, 12, 12, 0, 0, 0};
  DATE date = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&noon, &date));
  EXPECT_DOUBLE_EQ(date, 39580.5);
  SYSTEMTIME back{};
  ASSERT_TRUE(VariantTimeToSystemTime(date + 1.0 / 24, &back));
  EXPECT_EQ(back.wYear, 2008);
  EXPECT_EQ(back.wMonth, 5);
  EXPECT_EQ(back.wDay, 12);
  EXPECT_EQ(back.wHour, 13);
  BSTR text = SysAllocString(u"abc");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 3u);
  SysFreeString(text);
}
