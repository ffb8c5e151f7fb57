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
  PulseEvent(manual);
  HANDLE both[] = {t1, t2};
  EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(GetExitCodeThread(t2, &code));
  EXPECT_EQ(code, 42u);

  HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE a1 = Start(&ReturnsFortyTwo, automatic);
  HANDLE a2 = Start(&ReturnsFortyTwo, automatic);
  Sleep(100);
  PulseEvent(automatic);  // releases exactly one waiter
  HANDLE autos[] = {a1, a2};
  DWORD first = WaitForMultipleObjects(2, autos, FALSE, 5000);
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
