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
};
std::vector<Heard>* g_heard = nullptr;
bool g_inHandler = false;

void Callback(DWORD, DWORD msg, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
  g_heard->push_back({msg, p1, g_inHandler});
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

}  // namespace
