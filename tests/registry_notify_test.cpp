// State-store notifications on the simulated device: what a registered window is posted when a
// watched value changes, under conditions, batching, closing and the window's end.
#include "platform/sim/registry_notify.h"

#include <vector>

#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "sim_fixture.h"

namespace {

struct Seen {
  uint64_t time;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen>* g_seen = nullptr;

LRESULT WatcherProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg >= WM_APP) {
    g_seen->push_back({GetTickCount(), msg, wp, lp});
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

constexpr char16_t kKey[] = u"HKCU\\System\\State\\Test";
constexpr UINT kMsg = WM_APP + 1;

std::vector<uint8_t> Dword(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

class RegistryNotify : public SimTest {
 protected:
  void SetUp() override {
    g_seen = &seen;
    Run(u"watcher.exe", [this] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &WatcherProc;
      wc.lpszClassName = u"Watcher";
      RegisterClassW(&wc);
      window = CreateWindowExW(0, u"Watcher", u"Watcher", 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
      MSG m;
      while (GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
      return 0;
    });
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
    ASSERT_NE(window, 0u);
  }
  void TearDown() override { g_seen = nullptr; }

  HREGNOTIFY Watch(const char16_t* value, const NOTIFICATIONCONDITION* cond = nullptr,
                   DWORD userData = 0, UINT msg = kMsg) {
    HREGNOTIFY h = 0;
    EXPECT_EQ(RegistryNotifyWindow(HKEY_CURRENT_USER, u"System\\State\\Test", value, window, msg,
                                   userData, cond, &h),
              S_OK);
    return h;
  }
  void Set(const char16_t* value, uint32_t v) {
    ASSERT_TRUE(dev.registry().SetValue(kKey, value, REG_DWORD, Dword(v)));
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  std::vector<WPARAM> Values() {
    std::vector<WPARAM> out;
    for (const Seen& s : seen) out.push_back(s.wParam);
    return out;
  }

  HWND window = 0;
  std::vector<Seen> seen;
};

TEST_F(RegistryNotify, EachChangeIsPostedOnceInOrderWithItsValueAndUserData) {
  // Neither the key nor the value exists yet: the creation notifies.
  Watch(u"Count", nullptr, 7);
  Watch(u"Other", nullptr, 0, kMsg + 1);
  Set(u"Count", 5);
  Set(u"Count", 5);  // the same data again is no change
  Set(u"Count", 6);
  ASSERT_TRUE(dev.registry().SetValue(kKey, u"Count", REG_SZ, {u'x', 0, 0, 0}));
  ASSERT_TRUE(dev.registry().DeleteValue(kKey, u"Count"));
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_EQ(Values(), (std::vector<WPARAM>{5, 6, 0, 0}));
  for (const Seen& s : seen) {
    EXPECT_EQ(s.msg, kMsg);
    EXPECT_EQ(s.lParam, 7);
  }

  // Deleting the key deletes the value under it; case of names does not matter.
  seen.clear();
  ASSERT_TRUE(dev.registry().SetValue(u"HKEY_CURRENT_USER\\SYSTEM\\state\\test", u"count",
                                      REG_DWORD, Dword(9)));
  ASSERT_TRUE(dev.registry().DeleteKey(u"HKCU\\System\\State"));
  ASSERT_TRUE(dev.RunUntilIdle());
  // The watch outlives the key: made anew, it notifies again.
  Set(u"Count", 4);
  EXPECT_EQ(Values(), (std::vector<WPARAM>{9, 0, 4}));
  EXPECT_EQ(TraceLines("post -> Watcher").size(), 7u);
}

TEST_F(RegistryNotify, MaskedConditionsNotifyOnlyWhenTheMaskedBitsChange) {
  NOTIFICATIONCONDITION anyChange{REG_CT_ANYCHANGE, 0x10, {}};
  anyChange.TargetValue.dw = 0;
  Watch(u"Flags", &anyChange);
  for (uint32_t v : {0x01u, 0x11u, 0x13u, 0x03u, 0x03u}) Set(u"Flags", v);
  EXPECT_EQ(Values(), (std::vector<WPARAM>{0x11, 0x03}));

  // A string under a DWORD condition is not compared; an equality test fires on a match.
  seen.clear();
  NOTIFICATIONCONDITION equal{REG_CT_EQUAL, 0xFF, {}};
  equal.TargetValue.dw = 2;
  Watch(u"Level", &equal);
  ASSERT_TRUE(dev.registry().SetValue(kKey, u"Level", REG_SZ, {u'2', 0, 0, 0}));
  Set(u"Level", 1);
  Set(u"Level", 0x102);
  EXPECT_EQ(Values(), (std::vector<WPARAM>{0x102}));
}

TEST_F(RegistryNotify, BatchingPostsTheLatestValueOnceAfterIdleOrMaximumDelay) {
  HREGNOTIFY h = Watch(u"Album");
  ASSERT_EQ(RegistryBatchNotification(h, 200, 500), S_OK);
  uint64_t start = dev.Now();
  for (uint32_t v = 1; v <= 5; ++v) {
    Set(u"Album", v);
    ASSERT_TRUE(dev.RunFor(100));
  }
  ASSERT_TRUE(dev.RunFor(1000));
  ASSERT_EQ(seen.size(), 1u);  // the changes kept coming: the maximum delay ends the batch
  EXPECT_EQ(seen[0].wParam, 5u);
  EXPECT_EQ(seen[0].time, start + 500);

  seen.clear();
  start = dev.Now();
  Set(u"Album", 9);
  ASSERT_TRUE(dev.RunFor(1000));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].time, start + 200);

  // A batch still waiting is dropped with its registration.
  seen.clear();
  Set(u"Album", 10);
  EXPECT_EQ(RegistryCloseNotification(h), S_OK);
  ASSERT_TRUE(dev.RunFor(1000));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(RegistryBatchNotification(h, 100, 100), E_INVALID_HANDLE_HR);
  EXPECT_EQ(RegistryBatchNotification(Watch(u"Album"), INFINITE, 100), E_INVALIDARG);
}

TEST_F(RegistryNotify, ClosedRegistrationsAndDeadWindowsAreSilent) {
  HREGNOTIFY h = Watch(u"Count");
  EXPECT_EQ(RegistryCloseNotification(h), S_OK);
  EXPECT_EQ(RegistryCloseNotification(h), E_INVALID_HANDLE_HR);
  Set(u"Count", 1);
  EXPECT_TRUE(seen.empty());

  HREGNOTIFY bad = 123;
  EXPECT_EQ(RegistryNotifyWindow(HKEY_CURRENT_USER, u"X", u"V", 0, kMsg, 0, nullptr, &bad),
            E_INVALIDARG);
  EXPECT_EQ(bad, 0u);
  EXPECT_EQ(RegistryNotifyWindow(0x1234, u"X", u"V", window, kMsg, 0, nullptr, &bad), E_INVALIDARG);

  Watch(u"Count");
  auto& notifier = sim::RegistryNotifier::Of(dev);
  EXPECT_EQ(notifier.Count(), 1u);
  dev.windows().Destroy(window, true);
  Set(u"Count", 2);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(notifier.Count(), 0u);
}

}  // namespace
