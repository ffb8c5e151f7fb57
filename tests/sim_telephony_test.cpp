// The simulated line interface: variable-size records and callback delivery on the thread that
// initialised the line, in order, only while it dispatches messages.
#include <cstring>
#include <vector>

#include "platform/kernel.h"
#include "platform/tapi.h"
#include "platform/user.h"
#include "sim_fixture.h"

namespace {

struct Heard {
  DWORD msg;
  DWORD_PTR p1;
  bool inHandler;
  DWORD device;
};
std::vector<Heard>* g_heard = nullptr;
bool g_inHandler = false;

void Callback(DWORD device, DWORD msg, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
  g_heard->push_back({msg, p1, g_inHandler, device});
}

int Pump() {
  MSG m;
  while (GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}

LONG Init(HLINEAPP* app, HLINE* line) {
  LINEINITIALIZEEXPARAMS params{};
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  DWORD devices = 0, version = 0x00020000;
  if (LONG r = lineInitializeEx(app, 0, &Callback, nullptr, &devices, &version, &params)) return r;
  return lineOpen(*app, 0, line, version, 0, 0, LINECALLPRIVILEGE_MONITOR,
                  LINEMEDIAMODE_INTERACTIVEVOICE, nullptr);
}

class SimTelephony : public SimTest {
 protected:
  void SetUp() override { g_heard = &heard; }
  void TearDown() override { g_heard = nullptr; }
  std::vector<Heard> heard;
};

TEST_F(SimTelephony, CallInfoFollowsTheRecordRules) {
  HLINE line = 0;
  Run(u"rec.exe", [&] {
    HLINEAPP app = 0;
    EXPECT_EQ(Init(&app, &line), 0);
    // The line lives as long as its program: this one keeps running.
    MSG msg;
    while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
  });
  dev.RunUntilIdle();
  int n = dev.telephony().Offer(dev, LINEMEDIAMODE_INTERACTIVEVOICE);
  dev.telephony().DeliverCallerId(dev, n, u"5551234");
  const sim::CallHandle* any = dev.telephony().Handle(dev.telephony().HandleFor(line, n));
  ASSERT_NE(any, nullptr);
  std::vector<uint8_t> small(sizeof(LINECALLINFO) - 4, 0);
  auto* rec = reinterpret_cast<LINECALLINFO*>(small.data());
  rec->dwTotalSize = static_cast<DWORD>(small.size());
  EXPECT_EQ(lineGetCallInfo(any->handle, rec), LINEERR_STRUCTURETOOSMALL);

  std::vector<uint8_t> fixed(sizeof(LINECALLINFO), 0);
  rec = reinterpret_cast<LINECALLINFO*>(fixed.data());
  rec->dwTotalSize = sizeof(LINECALLINFO);
  ASSERT_EQ(lineGetCallInfo(any->handle, rec), 0);
  EXPECT_GT(rec->dwNeededSize, rec->dwTotalSize);
  EXPECT_EQ(rec->dwUsedSize, sizeof(LINECALLINFO));
  EXPECT_EQ(rec->dwCallerIDSize, 0u);
  EXPECT_EQ(rec->dwCallerIDFlags, LINECALLPARTYID_ADDRESS);
  EXPECT_EQ(rec->dwMediaMode, LINEMEDIAMODE_INTERACTIVEVOICE);

  std::vector<uint8_t> full(rec->dwNeededSize, 0);
  rec = reinterpret_cast<LINECALLINFO*>(full.data());
  rec->dwTotalSize = static_cast<DWORD>(full.size());
  ASSERT_EQ(lineGetCallInfo(any->handle, rec), 0);
  EXPECT_EQ(rec->dwUsedSize, rec->dwNeededSize);
  ASSERT_EQ(rec->dwCallerIDSize, 8u * sizeof(char16_t));
  ASSERT_LE(rec->dwCallerIDOffset + rec->dwCallerIDSize, full.size());
  std::u16string number(7, u'\0');
  std::memcpy(number.data(), full.data() + rec->dwCallerIDOffset, 7 * sizeof(char16_t));
  EXPECT_EQ(number, u"5551234");
}

TEST_F(SimTelephony, CallbacksComeInOrderOnTheInitialisingThreadOnlyWhileItDispatches) {
  Run(u"fifo.exe", [&] {
    HLINEAPP app = 0;
    HLINE line = 0;
    EXPECT_EQ(Init(&app, &line), 0);
    MSG m;
    GetMessageW(&m, 0, 0, 0);  // the first callback is waiting: take it, but first sleep
    g_inHandler = true;
    Sleep(1000);  // the rest of the call's messages arrive meanwhile; none may run now
    g_inHandler = false;
    DispatchMessageW(&m);
    while (heard.size() < 4 && GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
    lineShutdown(app);
    return 0;
  });
  dev.RunUntilIdle();
  int n = dev.telephony().Offer(dev, LINEMEDIAMODE_INTERACTIVEVOICE);
  dev.RunFor(100);
  dev.telephony().DeliverCallerId(dev, n, u"1");
  dev.telephony().End(dev, n, LINEDISCONNECTMODE_NORMAL);
  dev.RunFor(2000);
  ASSERT_EQ(heard.size(), 4u);
  EXPECT_EQ(heard[0].p1, LINECALLSTATE_OFFERING);
  EXPECT_EQ(heard[1].msg, LINE_CALLINFO);
  EXPECT_EQ(heard[2].p1, LINECALLSTATE_DISCONNECTED);
  EXPECT_EQ(heard[3].p1, LINECALLSTATE_IDLE);
  for (const Heard& h : heard) EXPECT_FALSE(h.inHandler);
}

TEST_F(SimTelephony, TheServerTakesOneProgramsLinesAndWaitsForItToShutDownBeforeReinitialising) {
  HLINEAPP monApp = 0, otherApp = 0;
  HLINE monLine = 0, otherLine = 0;
  sim::Process* mon = Run(u"mon.exe", [&] {
    EXPECT_EQ(Init(&monApp, &monLine), 0);
    return Pump();
  });
  Run(u"other.exe", [&] {
    EXPECT_EQ(Init(&otherApp, &otherLine), 0);
    return Pump();
  });
  dev.RunUntilIdle();
  sim::Telephony& t = dev.telephony();

  // Only mon.exe's line goes; its handle is dead, the other program still hears the calls.
  EXPECT_EQ(t.CloseLinesOf(dev, u"MON.EXE"), 1);
  dev.RunUntilIdle();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].msg, LINE_CLOSE);
  EXPECT_EQ(heard[0].device, monLine);
  EXPECT_TRUE(
      dev.RunInProcess(mon, [&] { EXPECT_EQ(lineClose(monLine), LINEERR_INVALLINEHANDLE); }));
  int n = t.Offer(dev, LINEMEDIAMODE_INTERACTIVEVOICE);
  dev.RunUntilIdle();
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1].device, t.HandleFor(otherLine, n));
  t.End(dev, n, LINEDISCONNECTMODE_NORMAL);
  dev.RunUntilIdle();
  heard.clear();

  // Every program hears the request; nobody may initialise until mon.exe has shut down.
  t.RequestReinit(dev, u"mon.exe");
  dev.RunUntilIdle();
  ASSERT_EQ(heard.size(), 2u);
  for (const Heard& h : heard) {
    EXPECT_EQ(h.msg, LINE_LINEDEVSTATE);
    EXPECT_EQ(h.p1, LINEDEVSTATE_REINIT);
  }
  LONG early = 0, late = -1;
  HLINEAPP app = 0;
  HLINE line = 0;
  Run(u"early.exe", [&] {
    early = Init(&app, &line);
    return 0;
  });
  dev.RunUntilIdle();
  EXPECT_EQ(early, LINEERR_REINIT);
  EXPECT_TRUE(dev.RunInProcess(mon, [&] { EXPECT_EQ(lineShutdown(monApp), 0); }));
  Run(u"late.exe", [&] {
    late = Init(&app, &line);
    return 0;
  });
  dev.RunUntilIdle();
  EXPECT_EQ(late, 0);
}

}  // namespace
