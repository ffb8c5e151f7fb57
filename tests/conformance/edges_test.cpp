// Edges the daemon meets in failure paths: timers that die with their window or are killed
// while due, windows that die with their thread, bad handles and filters.
#include <vector>

#include "conformance.h"
#include "platform/registry.h"

using conformance::MakeWindow;

namespace {

LRESULT Quiet(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER || msg >= WM_APP) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}

DWORD MakesAWindowAndEnds(LPVOID out) {
  *static_cast<HWND*>(out) = MakeWindow(u"CeThreadOwned", &Quiet, WS_POPUP);
  return 0;
}

}  // namespace

CONFORMANCE_TEST(Timers, ADueTimerIsGoneAfterKillTimerOrDestroyWindow) {
  HWND a = MakeWindow(u"CeKill", &Quiet);
  HWND b = MakeWindow(u"CeDestroy", &Quiet);
  SetTimer(a, 1, 10, nullptr);
  SetTimer(b, 1, 10, nullptr);
  Sleep(50);
  KillTimer(a, 1);
  DestroyWindow(b);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  DestroyWindow(a);
}

CONFORMANCE_TEST(Timers, AZeroPeriodStillWaitsTheMinimum) {
  HWND h = MakeWindow(u"CeZero", &Quiet);
  SetTimer(h, 1, 0, nullptr);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE)) << "not due at once";
  Sleep(30);
  EXPECT_TRUE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  KillTimer(h, 1);
  DestroyWindow(h);
}

CONFORMANCE_TEST(Queue, WindowFiltersLeaveOtherMessagesQueued) {
  HWND a = MakeWindow(u"CeFilterA", &Quiet);
  HWND b = MakeWindow(u"CeFilterB", &Quiet);
  PostMessageW(a, WM_APP, 1, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_APP + 1, 0, 0);
  PostMessageW(b, WM_APP + 2, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_APP + 2u);
  EXPECT_FALSE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_APP));
  ASSERT_TRUE(PeekMessageW(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, 0u);
  EXPECT_EQ(m.message, WM_APP + 1u);
  DestroyWindow(a);
  DestroyWindow(b);
}

CONFORMANCE_TEST(Queue, BadTargetsFail) {
  HWND h = MakeWindow(u"CeBad", &Quiet);
  DestroyWindow(h);
  MSG m;
  EXPECT_EQ(GetMessageW(&m, h, 0, 0), -1);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  SetLastError(0);
  EXPECT_EQ(SendMessageW(h, WM_APP, 0, 0), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_FALSE(PostThreadMessageW(0x7FFFFFF0u, WM_APP, 0, 0));
  EXPECT_FALSE(KillTimer(h, 1));
}

CONFORMANCE_TEST(Windows, AThreadsWindowsDieWithIt) {
  HWND owned = 0;
  HANDLE t = CreateThread(nullptr, 0, &MakesAWindowAndEnds, &owned, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_NE(owned, 0u);
  EXPECT_FALSE(IsWindow(owned));
  EXPECT_EQ(FindWindowW(u"CeThreadOwned", nullptr), 0u);
}

CONFORMANCE_TEST(Windows, ChildRectanglesAreOnTheScreen) {
  HWND parent = MakeWindow(u"CeRectParent", &Quiet, WS_POPUP);
  MoveWindow(parent, 100, 50, 200, 200, FALSE);
  HWND child =
      CreateWindowExW(0, u"CeRectParent", u"", WS_CHILD, 10, 20, 30, 40, parent, 0, 0, nullptr);
  RECT r{};
  ASSERT_TRUE(GetWindowRect(child, &r));
  EXPECT_EQ(r, (RECT{110, 70, 140, 110}));
  DestroyWindow(parent);
}

CONFORMANCE_TEST(Windows, BottomDropsTopmost) {
  HWND a = MakeWindow(u"CeTopA", &Quiet, WS_POPUP | WS_VISIBLE);
  HWND top = MakeWindow(u"CeTopB", &Quiet, WS_POPUP | WS_VISIBLE);
  SetWindowPos(top, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_NE(GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  SetWindowPos(top, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(GetWindowLongW(top, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  DestroyWindow(a);
  DestroyWindow(top);
}

CONFORMANCE_TEST(FindWindow, AnEmptyTitleMatchesOnlyUntitledWindows) {
  HWND titled = MakeWindow(u"CeTitled", &Quiet);
  HWND untitled = CreateWindowExW(0, u"CeTitled", u"", 0, 0, 0, 1, 1, 0, 0, 0, nullptr);
  EXPECT_EQ(FindWindowW(u"CeTitled", u""), untitled);
  EXPECT_EQ(FindWindowW(u"CeTitled", u"CeTitled"), titled);
  DestroyWindow(titled);
  DestroyWindow(untitled);
}

CONFORMANCE_TEST(Waits, AWaitForNothingIsRefused) {
  HANDLE e = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForMultipleObjects(0, &e, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(e);
}

CONFORMANCE_TEST(Registry, AnEmptySubkeyOpensTheKeyItself) {
  HKEY k = 0;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\DvConformance\\Self", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &k, &disposition),
            ERROR_SUCCESS);
  HKEY same = 0;
  EXPECT_EQ(RegCreateKeyExW(k, u"", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &same, &disposition),
            ERROR_SUCCESS);
  DWORD v = 3;
  RegSetValueExW(same, u"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  DWORD size = sizeof v, got = 0;
  EXPECT_EQ(RegQueryValueExW(k, u"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(got, 3u);
  RegCloseKey(same);
  RegCloseKey(k);
  RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\DvConformance\\Self");
}
