// The simulated power manager's queues as a program sees them.
#include "platform/sim/power_manager.h"

#include <cstring>

#include "platform/kernel.h"
#include "platform/power.h"
#include "sim_fixture.h"

namespace {

class PowerQueue : public SimTest {
 protected:
  static MSGQUEUEOPTIONS Options(DWORD maxBytes, DWORD maxMessages = 0) {
    return MSGQUEUEOPTIONS{sizeof(MSGQUEUEOPTIONS), 0, maxMessages, maxBytes, TRUE};
  }
  sim::PowerManager& pm() { return sim::PowerManager::Of(dev); }
};

TEST_F(PowerQueue, BadOptionsAreRefused) {
  Run(u"p.exe", [] {
    MSGQUEUEOPTIONS o = Options(44);
    o.dwSize = 16;
    EXPECT_EQ(CreateMsgQueue(nullptr, &o), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    o = Options(0);
    EXPECT_EQ(CreateMsgQueue(nullptr, &o), 0u);
    o = Options(44);
    o.dwFlags = 4;
    EXPECT_EQ(CreateMsgQueue(nullptr, &o), 0u);
    EXPECT_EQ(CreateMsgQueue(nullptr, nullptr), 0u);
    return 0;
  });
  ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
}

TEST_F(PowerQueue, ReadsWaitTimeOutAndNeedAWriter) {
  Run(u"p.exe", [] {
    MSGQUEUEOPTIONS o = Options(44);
    HANDLE q = CreateMsgQueue(nullptr, &o);
    uint8_t buf[44];
    DWORD read = 0, flags = 0;
    EXPECT_FALSE(ReadMsgQueue(q, buf, sizeof buf, &read, 0, &flags));
    EXPECT_EQ(GetLastError(), ERROR_PIPE_NOT_CONNECTED);
    HANDLE r = RequestPowerNotifications(q, PBT_TRANSITION);
    EXPECT_NE(r, 0u);
    DWORD before = GetTickCount();
    EXPECT_FALSE(ReadMsgQueue(q, buf, sizeof buf, &read, 250, &flags));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_EQ(GetTickCount() - before, 250u);
    EXPECT_EQ(StopPowerNotifications(r), 0u);
    EXPECT_NE(StopPowerNotifications(r), 0u);
    EXPECT_TRUE(CloseMsgQueue(q));
    EXPECT_FALSE(CloseMsgQueue(q));
    return 0;
  });
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
}

TEST_F(PowerQueue, BroadcastsArriveInOrderWithTheirLayout) {
  std::vector<std::vector<uint8_t>> got;
  DWORD shortReadError = 0;
  Run(u"p.exe", [&] {
    MSGQUEUEOPTIONS o = Options(44);
    HANDLE q = CreateMsgQueue(nullptr, &o);
    RequestPowerNotifications(q, PBT_TRANSITION | PBT_POWERINFOCHANGE);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(WaitForSingleObject(q, INFINITE), WAIT_OBJECT_0);
      uint8_t buf[44];
      DWORD read = 0, flags = 0;
      // The last one is read into too small a buffer: cut short, still consumed.
      DWORD size = i == 2 ? 14 : sizeof buf;
      EXPECT_TRUE(ReadMsgQueue(q, buf, size, &read, 0, &flags));
      if (i == 2) shortReadError = GetLastError();
      got.emplace_back(buf, buf + read);
    }
    EXPECT_EQ(WaitForSingleObject(q, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    return 0;
  });
  ASSERT_TRUE(dev.RunUntilIdle());
  pm().Transition(dev, u"screenoff", POWER_STATE_IDLE);
  pm().PowerInfo(dev, 1, 55);
  pm().Transition(dev, u"on", POWER_STATE_ON);
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
  ASSERT_EQ(got.size(), 3u);
  DWORD header[3];
  std::memcpy(header, got[0].data(), sizeof header);
  EXPECT_EQ(header[0], PBT_TRANSITION);
  EXPECT_EQ(header[1], POWER_STATE_IDLE);
  EXPECT_EQ(header[2], 20u);  // "screenoff" and its NUL
  EXPECT_EQ(got[0][12], 's');
  std::memcpy(header, got[1].data(), sizeof header);
  EXPECT_EQ(header[0], PBT_POWERINFOCHANGE);
  EXPECT_EQ(got[1][12 + 20], 1);
  EXPECT_EQ(got[1][12 + 22], 55);
  EXPECT_EQ(got[2].size(), 14u);
  EXPECT_EQ(shortReadError, ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(dev.config().power.acLine, 1);
  EXPECT_EQ(dev.config().power.batteryPercent, 55);
}

TEST_F(PowerQueue, TooLongOrTooManyMessagesAreLostNotBlocked) {
  size_t queued = 0;
  Run(u"p.exe", [&] {
    MSGQUEUEOPTIONS o = Options(30, 2);
    HANDLE q = CreateMsgQueue(nullptr, &o);
    RequestPowerNotifications(q, PBT_TRANSITION);
    Sleep(1000);
    uint8_t buf[64];
    DWORD read = 0, flags = 0;
    while (ReadMsgQueue(q, buf, sizeof buf, &read, 0, &flags)) ++queued;
    return 0;
  });
  ASSERT_TRUE(dev.RunUntilIdle());
  pm().Transition(dev, u"backlightoff", POWER_STATE_IDLE);  // 38 bytes: longer than 30
  for (int i = 0; i < 3; ++i) pm().Transition(dev, u"on", POWER_STATE_ON);
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
  EXPECT_EQ(queued, 2u);
  EXPECT_EQ(TraceLines("power broadcast lost").size(), 2u);
}

TEST_F(PowerQueue, AnEndedProgramIsNoLongerTold) {
  Run(u"p.exe", [] {
    MSGQUEUEOPTIONS o = Options(44);
    RequestPowerNotifications(CreateMsgQueue(nullptr, &o), PBT_TRANSITION);
    return 0;
  });
  ASSERT_TRUE(dev.Settle());
  // The system closed the ended program's queue, and with it went its request.
  EXPECT_EQ(pm().ActiveRequests(), 0u);
  pm().Transition(dev, u"on", POWER_STATE_ON);
  EXPECT_EQ(pm().ActiveRequests(), 0u);
}

TEST_F(PowerQueue, UnattendedReferencesAreCounted) {
  Run(u"p.exe", [this] {
    EXPECT_TRUE(PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE));
    EXPECT_TRUE(PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE));
    EXPECT_TRUE(PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE));
    EXPECT_FALSE(PowerPolicyNotify(7, TRUE));
    dev.faults().SetTarget(u"");
    dev.faults().Arm("PowerPolicyNotify", {}, 1);
    EXPECT_FALSE(PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE));
    EXPECT_TRUE(PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE));
    // The count cannot go below zero: a release without a request is refused.
    EXPECT_FALSE(PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE));
    return 0;
  });
  ASSERT_TRUE(dev.Settle());
  EXPECT_EQ(pm().unattendedReferences, 0);
}

}  // namespace
