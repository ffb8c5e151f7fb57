// Windows: finding, z-order, visibility, the foreground, children and subclassing.
#include <algorithm>
#include <vector>

#include "conformance.h"
#include "platform/files.h"
#include "platform/library.h"

using conformance::MakeWindow;

namespace {

LRESULT Plain(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) return static_cast<LRESULT>(wp * 2);
  return DefWindowProcW(h, msg, wp, lp);
}

struct EnumState {
  std::vector<HWND> wanted;
  std::vector<HWND> order;
};
BOOL Collect(HWND h, LONG_PTR p) {
  auto* s = reinterpret_cast<EnumState*>(p);
  if (std::find(s->wanted.begin(), s->wanted.end(), h) != s->wanted.end()) s->order.push_back(h);
  return TRUE;
}
// The given windows in EnumWindows order.
std::vector<HWND> ZOrder(std::vector<HWND> windows) {
  EnumState s{std::move(windows), {}};
  EnumWindows(&Collect, reinterpret_cast<LONG_PTR>(&s));
  return s.order;
}

}  // namespace

CONFORMANCE_TEST(FindWindow, FindsTopLevelWindowsByClassAndTitleHiddenOrNot) {
  HWND hidden = MakeWindow(u"CfHidden", &Plain);
  HWND shown = MakeWindow(u"CfShown", &Plain, WS_POPUP | WS_VISIBLE);
  HWND child = MakeWindow(u"CfChild", &Plain, WS_CHILD | WS_VISIBLE, shown);
  ASSERT_TRUE(hidden && shown && child);
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_EQ(FindWindowW(u"CfHidden", nullptr), hidden);
  EXPECT_EQ(FindWindowW(nullptr, u"CfHidden"), hidden);
  EXPECT_EQ(FindWindowW(u"CfShown", u"CfShown"), shown);
  EXPECT_EQ(FindWindowW(u"cfshown", u"CFSHOWN"), shown) << "names compare without case";
  EXPECT_EQ(FindWindowW(u"CfShown", u"Another title"), 0u);
  EXPECT_EQ(FindWindowW(u"CfChild", nullptr), 0u) << "children are not searched";
  DestroyWindow(shown);
  EXPECT_FALSE(IsWindow(child)) << "children die with their parent";
  DestroyWindow(hidden);
  EXPECT_EQ(FindWindowW(u"CfHidden", nullptr), 0u);
  EXPECT_FALSE(IsWindow(hidden));
}

// The daemon registers its class and makes its window with its own instance.
CONFORMANCE_TEST(Windows, TheProgramsOwnInstanceMakesItsWindows) {
  HINSTANCE self = GetModuleHandleW(nullptr);
  ASSERT_NE(self, 0u);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Plain;
  wc.hInstance = self;
  wc.lpszClassName = u"CwInstance";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND h = CreateWindowExW(0, u"CwInstance", u"", WS_POPUP, 0, 0, 10, 10, 0, 0, self, nullptr);
  EXPECT_NE(h, 0u);
  DestroyWindow(h);
  EXPECT_TRUE(UnregisterClassW(u"CwInstance", self));
}

CONFORMANCE_TEST(Windows, ClassAndTextAreReadBack) {
  HWND h = MakeWindow(u"CwText", &Plain);
  WCHAR buf[32];
  EXPECT_EQ(GetClassNameW(h, buf, 32), 6);
  EXPECT_EQ(std::u16string(buf), u"CwText");
  EXPECT_TRUE(SetWindowTextW(h, u"New title"));
  EXPECT_EQ(GetWindowTextW(h, buf, 32), 9);
  EXPECT_EQ(std::u16string(buf), u"New title");
  EXPECT_EQ(GetWindowTextW(h, buf, 4), 3) << "the text is cut to fit with its NUL";
  EXPECT_EQ(std::u16string(buf), u"New");
  EXPECT_EQ(FindWindowW(nullptr, u"New title"), h);
  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(h, &pid), GetCurrentThreadId());
  EXPECT_EQ(pid, GetCurrentProcessId());
  DestroyWindow(h);
}

CONFORMANCE_TEST(Windows, RegisteringAClassTwiceFails) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Plain;
  wc.lpszClassName = u"CwTwice";
  EXPECT_NE(RegisterClassW(&wc), 0);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  EXPECT_EQ(CreateWindowExW(0, u"CwNoSuchClass", u"", 0, 0, 0, 1, 1, 0, 0, 0, nullptr), 0u);
  // Windows reports 1407; Wine 8 reports 1411 (ERROR_CLASS_DOES_NOT_EXIST) instead.
  DWORD error = GetLastError();
  EXPECT_TRUE(error == ERROR_CANNOT_FIND_WND_CLASS || error == 1411) << error;
  EXPECT_TRUE(UnregisterClassW(u"CwTwice", 0));
}

CONFORMANCE_TEST(Windows, ShowWindowReturnsThePreviousVisibility) {
  HWND h = MakeWindow(u"CwShow", &Plain, WS_POPUP);
  EXPECT_FALSE(ShowWindow(h, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_TRUE(ShowWindow(h, SW_SHOW));
  EXPECT_TRUE(ShowWindow(h, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_FALSE(ShowWindow(h, SW_HIDE));
  DestroyWindow(h);
}

CONFORMANCE_TEST(Windows, ChildrenFollowCreationOrderUnderTheirParent) {
  HWND parent = MakeWindow(u"CwParent", &Plain, WS_POPUP);
  HWND first = MakeWindow(u"CwFirst", &Plain, WS_CHILD, parent);
  HWND second = MakeWindow(u"CwSecond", &Plain, WS_CHILD, parent);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), first);
  EXPECT_EQ(GetWindow(first, GW_HWNDNEXT), second);
  EXPECT_EQ(GetWindow(second, GW_HWNDNEXT), 0u);
  EXPECT_EQ(GetWindow(first, GW_CHILD), 0u);
  EXPECT_EQ(GetParent(first), parent);
  EXPECT_EQ(GetParent(parent), 0u);
  DestroyWindow(parent);
}

CONFORMANCE_TEST(Windows, SetWindowPosBottomAndHide) {
  HWND a = MakeWindow(u"CzA", &Plain, WS_POPUP | WS_VISIBLE);
  HWND b = MakeWindow(u"CzB", &Plain, WS_POPUP | WS_VISIBLE);
  HWND c = MakeWindow(u"CzC", &Plain, WS_POPUP | WS_VISIBLE);
  EXPECT_EQ(ZOrder({a, b, c}), (std::vector<HWND>{c, b, a})) << "a new window goes on top";
  EXPECT_TRUE(SetWindowPos(c, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_EQ(ZOrder({a, b, c}), (std::vector<HWND>{b, a, c}));
  RECT before{}, after{};
  GetWindowRect(b, &before);
  EXPECT_TRUE(
      SetWindowPos(b, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_HIDEWINDOW));
  EXPECT_FALSE(IsWindowVisible(b));
  GetWindowRect(b, &after);
  EXPECT_EQ(before, after);
  EXPECT_TRUE(MoveWindow(b, 5, 6, 70, 80, FALSE));
  GetWindowRect(b, &after);
  EXPECT_EQ(after, (RECT{5, 6, 75, 86}));
  DestroyWindow(a);
  DestroyWindow(b);
  DestroyWindow(c);
}

CONFORMANCE_TEST(Windows, TheForegroundPassesOnWhenTheForegroundWindowHides) {
  HWND a = MakeWindow(u"CgA", &Plain, WS_POPUP | WS_VISIBLE);
  HWND b = MakeWindow(u"CgB", &Plain, WS_POPUP | WS_VISIBLE);
  EXPECT_TRUE(SetForegroundWindow(b));
  EXPECT_EQ(GetForegroundWindow(), b);
  ShowWindow(b, SW_HIDE);
  EXPECT_EQ(GetForegroundWindow(), a);
  EXPECT_TRUE(SetForegroundWindow(a));
  DestroyWindow(a);
  DestroyWindow(b);
}

CONFORMANCE_TEST(Windows, WindowLongsHoldStyleAndUserData) {
  HWND h = MakeWindow(u"CwLong", &Plain, WS_POPUP);
  EXPECT_EQ(GetWindowLongW(h, GWL_STYLE) & WS_POPUP, static_cast<LONG_PTR>(WS_POPUP));
  EXPECT_EQ(SetWindowLongW(h, GWL_USERDATA, 1234), 0);
  EXPECT_EQ(GetWindowLongW(h, GWL_USERDATA), 1234);
  DestroyWindow(h);
  SetLastError(0);
  EXPECT_EQ(GetWindowLongW(h, GWL_USERDATA), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

namespace {
WNDPROC g_original;
LRESULT Subclass(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = CallWindowProcW(g_original, h, msg, wp, lp);
  return msg == WM_APP ? r + 100 : r;
}
}  // namespace

CONFORMANCE_TEST(Subclassing, SetWindowLongSwapsTheProcedureAndCallWindowProcReachesTheOld) {
  HWND h = MakeWindow(u"CsSub", &Plain);
  EXPECT_EQ(SendMessageW(h, WM_APP, 1, 0), 2);
  g_original = reinterpret_cast<WNDPROC>(
      SetWindowLongW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass)));
  ASSERT_NE(g_original, nullptr);
  EXPECT_EQ(GetWindowLongW(h, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&Subclass));
  EXPECT_EQ(SendMessageW(h, WM_APP, 1, 0), 102);
  PostMessageW(h, WM_APP, 2, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, h, 0, 0, PM_REMOVE));
  EXPECT_EQ(DispatchMessageW(&m), 104);
  EXPECT_EQ(SetWindowLongW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(g_original)),
            reinterpret_cast<LONG_PTR>(&Subclass));
  EXPECT_EQ(SendMessageW(h, WM_APP, 1, 0), 2);
  DestroyWindow(h);
}

namespace {
std::vector<UINT>* g_lifecycle;
LRESULT Lifecycle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE || msg == WM_DESTROY || msg == WM_CLOSE) g_lifecycle->push_back(msg);
  return DefWindowProcW(h, msg, wp, lp);
}
std::vector<UINT>* g_first;
LRESULT FirstMessages(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_first->size() < 2) g_first->push_back(msg);
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

CONFORMANCE_TEST(Windows, CloseDestroysByDefaultAndDestroyIsSeenOnce) {
  std::vector<UINT> seen;
  g_lifecycle = &seen;
  HWND h = MakeWindow(u"CwClose", &Lifecycle);
  ASSERT_TRUE(IsWindow(h));
  SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(DestroyWindow(h));
  EXPECT_EQ(seen, (std::vector<UINT>{WM_CREATE, WM_CLOSE, WM_DESTROY}));
  EXPECT_FALSE(PostMessageW(h, WM_APP, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

DEVICE_RULE_TEST(Windows, NoNonClientMessagesBeforeCreate,
                 "CE sends no non-client messages (docs/platform.md W3)") {
  std::vector<UINT> first;
  g_first = &first;
  HWND h = MakeWindow(u"CwNoNc", &FirstMessages, WS_POPUP);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first[0], WM_CREATE);
  DestroyWindow(h);
}

namespace {
WNDPROC g_peerOriginal;
LRESULT PeerSubclass(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = CallWindowProcW(g_peerOriginal, h, msg, wp, lp);
  return msg == WM_APP ? r + 100 : r;
}
}  // namespace

DEVICE_RULE_TEST(Subclassing, AnotherProcesssWindowCanBeSubclassed,
                 "WM5/6 allow GWL_WNDPROC on other processes' windows (docs/platform.md W9)") {
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(conformance::kPeerImage, nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, nullptr, &pi));
  HWND peer = 0;
  for (int i = 0; i < 100 && !peer; ++i, Sleep(10)) peer = FindWindowW(u"CxPeer", nullptr);
  ASSERT_NE(peer, 0u);
  DWORD pid = 0;
  GetWindowThreadProcessId(peer, &pid);
  EXPECT_NE(pid, GetCurrentProcessId());
  g_peerOriginal = reinterpret_cast<WNDPROC>(
      SetWindowLongW(peer, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&PeerSubclass)));
  ASSERT_NE(g_peerOriginal, nullptr);
  EXPECT_EQ(SendMessageW(peer, WM_APP, 1, 0), 102);
  SetWindowLongW(peer, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(g_peerOriginal));
  EXPECT_EQ(SendMessageW(peer, WM_APP, 1, 0), 2);
  PostMessageW(peer, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 5000), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}
