// Queues and timers: retrieval order, WM_QUIT, WM_TIMER's place and period rules, and
// SendMessage within and across threads.
#include <vector>

#include "conformance.h"

using conformance::MakeWindow;

namespace {

std::vector<UINT>* g_seen;  // messages of WM_APP and above, and WM_TIMER, as handled

LRESULT Recorder(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER || msg >= WM_APP) {
    if (g_seen) g_seen->push_back(msg == WM_TIMER ? WM_TIMER + 0x10000 * wp : msg);
    return static_cast<LRESULT>(wp * 2);
  }
  return DefWindowProcW(h, msg, wp, lp);
}

// Retrieves one message, timers included, without waiting.
bool Next(MSG* m) {
  return PeekMessageW(m, 0, 0, 0, PM_REMOVE) != FALSE;
}

}  // namespace

CONFORMANCE_TEST(Queue, PostedMessagesComeInOrderThenQuitOnlyWhenNoPostRemains) {
  HWND h = MakeWindow(u"CqOrder", &Recorder);
  PostMessageW(h, WM_APP + 1, 1, 0);
  PostQuitMessage(7);
  PostMessageW(h, WM_APP + 2, 2, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_APP + 3, 3, 0);
  std::vector<UINT> got;
  MSG m;
  BOOL r;
  while ((r = GetMessageW(&m, 0, 0, 0)) > 0) got.push_back(m.message);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_EQ(got, (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 3}));
  // The quit is gone once retrieved.
  EXPECT_FALSE(PeekMessageW(&m, 0, 0, 0, PM_REMOVE));
  DestroyWindow(h);
}

CONFORMANCE_TEST(Queue, PeekWithoutRemovingLeavesTheMessageAndFiltersByRange) {
  HWND h = MakeWindow(u"CqPeek", &Recorder);
  PostMessageW(h, WM_APP + 5, 5, -1);
  PostMessageW(h, WM_USER, 1, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_APP + 5u);
  EXPECT_EQ(m.hwnd, h);
  EXPECT_EQ(m.lParam, -1);
  ASSERT_TRUE(PeekMessageW(&m, 0, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER);
  ASSERT_TRUE(PeekMessageW(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_APP + 5u);
  EXPECT_FALSE(PeekMessageW(&m, 0, 0, 0, PM_REMOVE));
  DestroyWindow(h);
}

CONFORMANCE_TEST(Queue, SendMessageOnTheSameThreadIsADirectCall) {
  std::vector<UINT> seen;
  g_seen = &seen;
  HWND h = MakeWindow(u"CqSend", &Recorder);
  EXPECT_EQ(SendMessageW(h, WM_APP, 21, 0), 42);
  EXPECT_EQ(seen, std::vector<UINT>{WM_APP});
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, 0, 0, 0, PM_REMOVE));
  g_seen = nullptr;
  DestroyWindow(h);
}

CONFORMANCE_TEST(Queue, DispatchCallsTheWindowProcedureAndReturnsItsResult) {
  HWND h = MakeWindow(u"CqDispatch", &Recorder);
  PostMessageW(h, WM_APP, 8, 0);
  MSG m;
  ASSERT_TRUE(GetMessageW(&m, 0, 0, 0));
  EXPECT_EQ(DispatchMessageW(&m), 16);
  DestroyWindow(h);
}

CONFORMANCE_TEST(Timers, TimerComesAfterPostedMessagesAndMissedPeriodsMerge) {
  HWND h = MakeWindow(u"CtMerge", &Recorder);
  ASSERT_EQ(SetTimer(h, 4, 10, nullptr), 4u);
  Sleep(100);  // ten periods go by
  PostMessageW(h, WM_APP, 0, 0);
  PostMessageW(h, WM_APP + 1, 0, 0);
  MSG m;
  std::vector<UINT> got;
  while (Next(&m)) got.push_back(m.message == WM_TIMER ? WM_TIMER + 0x10000 * m.wParam : m.message);
  EXPECT_EQ(got, (std::vector<UINT>{WM_APP, WM_APP + 1, WM_TIMER + 0x40000}));
  KillTimer(h, 4);
  DestroyWindow(h);
}

CONFORMANCE_TEST(Timers, FirstFireAfterOnePeriodAndQuitBeforeADueTimer) {
  HWND h = MakeWindow(u"CtFirst", &Recorder);
  DWORD start = GetTickCount();
  SetTimer(h, 1, 200, nullptr);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  ASSERT_GT(GetMessageW(&m, 0, 0, 0), 0);
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.wParam, 1u);
  EXPECT_EQ(m.hwnd, h);
  EXPECT_GE(GetTickCount() - start, 180u);  // host ticks move in steps of up to 16 ms
  Sleep(250);
  PostQuitMessage(3);
  EXPECT_EQ(GetMessageW(&m, 0, 0, 0), 0);
  EXPECT_EQ(m.wParam, 3u);
  KillTimer(h, 1);
  DestroyWindow(h);
}

CONFORMANCE_TEST(Timers, SetTimerAgainReplacesAndKillTimerStopsIt) {
  HWND h = MakeWindow(u"CtReplace", &Recorder);
  SetTimer(h, 2, 50, nullptr);
  SetTimer(h, 2, 400, nullptr);  // restarts with the new period
  Sleep(120);
  MSG m;
  EXPECT_FALSE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_TRUE(KillTimer(h, 2));
  EXPECT_FALSE(KillTimer(h, 2));
  Sleep(450);
  EXPECT_FALSE(PeekMessageW(&m, 0, WM_TIMER, WM_TIMER, PM_REMOVE));
  DestroyWindow(h);
}

namespace {
int g_procTicks;
HWND g_procWindow;
void CountTick(HWND h, UINT msg, UINT id, DWORD) {
  if (h == g_procWindow && msg == WM_TIMER && id == 9) ++g_procTicks;
}
}  // namespace

CONFORMANCE_TEST(Timers, ATimerProcedureRunsFromDispatchAndAThreadTimerGetsAnId) {
  std::vector<UINT> seen;
  g_seen = &seen;
  g_procTicks = 0;
  g_procWindow = MakeWindow(u"CtProc", &Recorder);
  SetTimer(g_procWindow, 9, 20, &CountTick);
  MSG m;
  ASSERT_GT(GetMessageW(&m, 0, 0, 0), 0);
  ASSERT_EQ(m.message, WM_TIMER);
  DispatchMessageW(&m);
  EXPECT_EQ(g_procTicks, 1);
  EXPECT_TRUE(seen.empty()) << "the procedure runs instead of the window procedure";
  KillTimer(g_procWindow, 9);

  UINT id = SetTimer(0, 0, 20, nullptr);
  EXPECT_NE(id, 0u);
  ASSERT_GT(GetMessageW(&m, 0, 0, 0), 0);
  EXPECT_EQ(m.message, WM_TIMER);
  EXPECT_EQ(m.hwnd, 0u);
  EXPECT_EQ(m.wParam, id);
  KillTimer(0, id);
  g_seen = nullptr;
  DestroyWindow(g_procWindow);
}

namespace {
struct CrossSend {
  HWND target;
  HWND own;
  LRESULT result;
};
HWND g_senderWindow;

LRESULT Receiver(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) {
    // While the sender waits it still answers what is sent to its own windows.
    LRESULT nested = g_senderWindow ? SendMessageW(g_senderWindow, WM_APP + 1, wp, 0) : 0;
    return static_cast<LRESULT>(wp) + nested;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT SenderOwn(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP + 1) return static_cast<LRESULT>(wp * 100);
  return DefWindowProcW(h, msg, wp, lp);
}

DWORD SenderThread(LPVOID p) {
  auto* s = static_cast<CrossSend*>(p);
  s->own = MakeWindow(u"CsSenderOwn", &SenderOwn);
  g_senderWindow = s->own;
  s->result = SendMessageW(s->target, WM_APP, 3, 0);
  PostMessageW(s->target, WM_APP + 2, 0, 0);
  DestroyWindow(s->own);
  return 0;
}
}  // namespace

CONFORMANCE_TEST(CrossThread, SendMessageBlocksUntilTheReceiverPumpsAndServesTheSender) {
  g_senderWindow = 0;
  HWND h = MakeWindow(u"CsReceiver", &Receiver);
  CrossSend s{h, 0, -1};
  HANDLE t = CreateThread(nullptr, 0, &SenderThread, &s, 0, nullptr);
  ASSERT_NE(t, 0u);
  // The receiver does not pump yet: the sender stays blocked.
  EXPECT_EQ(WaitForSingleObject(t, 100), WAIT_TIMEOUT);
  EXPECT_EQ(s.result, -1);
  // The sent message runs inside GetMessage and is never returned by it.
  MSG m;
  ASSERT_GT(GetMessageW(&m, 0, 0, 0), 0);
  EXPECT_EQ(m.message, WM_APP + 2u);
  EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(s.result, 303);
  CloseHandle(t);
  g_senderWindow = 0;
  DestroyWindow(h);
}

namespace {
int g_boxTicks;
bool g_boxSawPost;
LRESULT BoxOwner(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) g_boxSawPost = true;
  if (msg == WM_TIMER && ++g_boxTicks == 3) {
    KillTimer(h, 1);
    HWND box = FindWindowW(nullptr, u"Conformance box");
    PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
  }
  if (msg == WM_TIMER || msg == WM_APP) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

CONFORMANCE_TEST(MessageBox, TheModalLoopDispatchesTimersAndPostsUntilClosed) {
  g_boxTicks = 0;
  g_boxSawPost = false;
  HWND h = MakeWindow(u"CmOwner", &BoxOwner);
  SetTimer(h, 1, 30, nullptr);
  PostMessageW(h, WM_APP, 0, 0);
  int r = MessageBoxW(h, u"Pumping", u"Conformance box", MB_OKCANCEL | MB_SETFOREGROUND);
  EXPECT_EQ(r, IDCANCEL);
  EXPECT_EQ(g_boxTicks, 3);
  EXPECT_TRUE(g_boxSawPost);
  EXPECT_EQ(FindWindowW(nullptr, u"Conformance box"), 0u);
  DestroyWindow(h);
}

namespace {
LRESULT QuitDuringBox(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    KillTimer(h, 1);
    PostQuitMessage(5);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

CONFORMANCE_TEST(MessageBox, AQuitInsideTheBoxEndsItAndReachesTheOuterLoop) {
  HWND h = MakeWindow(u"CmQuit", &QuitDuringBox);
  SetTimer(h, 1, 30, nullptr);
  MessageBoxW(h, u"Quit", u"Conformance quit box", MB_OK | MB_SETFOREGROUND);
  EXPECT_EQ(FindWindowW(nullptr, u"Conformance quit box"), 0u);
  MSG m;
  EXPECT_EQ(GetMessageW(&m, 0, 0, 0), 0);
  EXPECT_EQ(m.wParam, 5u);
  DestroyWindow(h);
}

namespace {
LRESULT ClosesItsBox(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    KillTimer(h, 1);
    HWND box = FindWindowW(u"Dialog", u"Conformance dialog class");
    PostMessageW(box, WM_COMMAND, box ? IDYES : IDNO, 0);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

DEVICE_RULE_TEST(MessageBox, BoxesAreDialogClassWindows,
                 "CE dialogs have class \"Dialog\" (docs/platform.md M10)") {
  HWND h = MakeWindow(u"CmClass", &ClosesItsBox);
  SetTimer(h, 1, 30, nullptr);
  EXPECT_EQ(MessageBoxW(h, u"?", u"Conformance dialog class", MB_YESNO | MB_SETFOREGROUND), IDYES);
  DestroyWindow(h);
}
