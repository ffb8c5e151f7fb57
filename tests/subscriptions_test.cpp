// The daemon's subscriptions to the state store: which values it watches in which slot, how a
// change reaches the slide screen and the listeners, batching, failures, renewal and closing.
#include "state/subscriptions.h"

#include "core/state.h"
#include "platform/sim/registry_notify.h"
#include "platform/user.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

constexpr char16_t kPhone[] = u"HKLM\\System\\State\\Phone";
constexpr char16_t kMusic[] = u"HKCU\\Software\\Zeq\\Fenk";

class Subscriptions : public TracedDaemonTest {
 protected:
  std::array<HREGNOTIFY, state::kSubscriptionSlots> Slots() {
    std::array<HREGNOTIFY, state::kSubscriptionSlots> slots{};
    InDaemon([&] { slots = state::Subscriptions(); });
    return slots;
  }
  bool Watches(HREGNOTIFY h, std::u16string_view key, std::u16string_view value) {
    return notifier().Watches(h, key, value);
  }
  sim::RegistryNotifier& notifier() { return sim::RegistryNotifier::Of(dev); }
  void Write(std::u16string_view key, std::u16string_view value, uint32_t v) {
    SetDword(key, value, v);
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  void AddMailStorages(int n) {
    for (int i = 0; i < n; ++i)
      dev.registry().CreateKey(u"HKCU\\Software\\WebIS\\Mail2\\Storages\\S" +
                               platform::U16(std::to_string(i)));
  }
};

TEST_F(Subscriptions, DefaultSettingsFillTheTableAndSkipTheSwitchedSlots) {
  Boot();
  auto slots = Slots();
  for (int slot = 0; slot < state::kSubscriptionSlots; ++slot) {
    bool empty = slot == 6 || (slot >= 26 && slot <= 36) || slot == 41 || slot == 42 || slot >= 46;
    EXPECT_EQ(slots[slot] == 0, empty) << "slot " << slot;
  }
  EXPECT_TRUE(
      Watches(slots[2], u"HKEY_CURRENT_USER\\System\\State\\Messages\\SMS\\Unread", u"Count"));
  EXPECT_TRUE(Watches(slots[13], u"HKEY_CURRENT_USER\\System\\State\\Tasks", u"Active"));
  auto log = LogSince({0, 0});
  EXPECT_NE(std::find(log.begin(), log.end(), "Register SNAPI"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Finsih Register SNAPI 0"), log.end());
  for (const auto& line : log) EXPECT_EQ(line.find("ERROR"), std::string::npos) << line;
}

TEST_F(Subscriptions, SettingsAndDeviceValuesSwitchSlotsOn) {
  SetFlag(u"ShowTask", 2);
  SetFlag(u"CallerID", 1);
  SetFlag(u"ShowAppointment", 1);
  SetFlag(u"KoreanSMSpatch", 1);
  SetDword(u"HKCU\\ControlPanel\\Keybd", u"StylusOutStatus", 0);
  AddMailStorages(12);
  Boot();
  auto slots = Slots();
  for (int slot = 0; slot < state::kSubscriptionSlots; ++slot)
    EXPECT_EQ(slots[slot] == 0, slot == 36) << "slot " << slot;
  EXPECT_TRUE(
      Watches(slots[2], u"HKEY_LOCAL_MACHINE\\System\\State\\Messages\\SMS\\Unread", u"Count"));
  EXPECT_TRUE(Watches(slots[13], u"HKEY_CURRENT_USER\\System\\State\\Tasks", u"Due Today"));
  EXPECT_TRUE(Watches(slots[35], u"HKEY_CURRENT_USER\\Software\\WebIS\\Mail2\\Storages\\S9",
                      u"TotalUnreadMessages"));
}

TEST_F(Subscriptions, AFailedRegistrationStopsTheRestAndIsLogged) {
  notifier().refuse = [](std::u16string_view key, std::u16string_view) {
    return key.find(u"MMS") != std::u16string_view::npos;
  };
  Boot();
  auto slots = Slots();
  for (int slot = 0; slot < state::kSubscriptionSlots; ++slot)
    EXPECT_EQ(slots[slot] != 0, slot < 3) << "slot " << slot;
  EXPECT_TRUE(Logged({0, 0}, "ERROR: can't register SNAPI 3"));
  HRESULT again = S_OK;
  InDaemon([&] { again = state::RegisterSnapi(); });
  EXPECT_EQ(again, E_FAIL);
}

TEST_F(Subscriptions, AStateChangeReachesTheSlideScreenAndEachListener) {
  Boot();
  HWND listener = StartInert(u"listener");
  Post(32818, listener);
  auto m = Here();
  Write(kPhone, u"Signal Strength Raw", 42);
  InDaemon([] { core::G().DisplayOff = 1; });
  Write(kPhone, u"Signal Strength Raw", 43);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Dorvane2", 32778, 42, 0), Posted("Vurl", 32778, 42, 0),
                                 Posted("listener", 32778, 42, 0), Posted("Dorvane2", 32778, 43, 0),
                                 Posted("Vurl", 32778, 43, 1), Posted("listener", 32778, 43, 0)}));

  // A masked subscription hears only its bit: Wi-Fi is bit 1 of the hardware flags.
  m = Here();
  Write(u"HKLM\\System\\State\\Hardware", u"Wifi", 1);
  Write(u"HKLM\\System\\State\\Hardware", u"Wifi", 3);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", 32800), {Posted("Vurl", 32800, 3, 1)}));
}

TEST_F(Subscriptions, TheAlbumArrivesOnceAfterItsBatchingDelay) {
  Boot();
  auto m = Here();
  uint64_t start = dev.Now();
  Write(kMusic, u"CurrentAlbum", 1);
  Wait(200);
  Write(kMusic, u"CurrentAlbum", 2);
  Wait(200);
  Write(kMusic, u"CurrentAlbum", 3);
  EXPECT_EQ(Count(Since(m), Msg("Vurl", 32814)), 0u);
  Wait(1000);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", 32814), {Posted("Vurl", 32814, 3)}));
  for (const auto& e : Since(m)) {
    if (e.kind == sim::TraceKind::Post && e.msg == 32814) {
      EXPECT_EQ(e.time, start + 500);
    }
  }
  // The title is not batched.
  m = Here();
  Write(kMusic, u"CurrentTitle", 1);
  EXPECT_EQ(Count(Since(m), Posted("Vurl", 32813, 1)), 1u);
}

TEST_F(Subscriptions, ARefreshMovesTheSmsCountToTheOtherHive) {
  Boot();
  SetDword(u"HKLM\\System\\State\\Messages\\SMS\\Unread", u"Count", 4);
  SetFlag(u"KoreanSMSpatch", 1);
  Post(32811);
  Wait(1000);
  int32_t remembered = 0;
  InDaemon([&] { remembered = core::G().UnreadSMS; });
  EXPECT_EQ(remembered, 4);
  EXPECT_TRUE(
      Watches(Slots()[2], u"HKEY_LOCAL_MACHINE\\System\\State\\Messages\\SMS\\Unread", u"Count"));
  auto m = Here();
  Write(u"HKCU\\System\\State\\Messages\\SMS\\Unread", u"Count", 8);
  Write(u"HKLM\\System\\State\\Messages\\SMS\\Unread", u"Count", 5);
  EXPECT_TRUE(Exactly(Since(m), Msg("Dorvane2", 32780), {Posted("Dorvane2", 32780, 5)}));
}

TEST_F(Subscriptions, ClosingTheDaemonEndsEverySubscription) {
  Boot();
  EXPECT_GT(notifier().Count(), 30u);
  InDaemon([] {
    state::UnregisterSnapi();
    state::UnregisterSnapi();
  });
  EXPECT_EQ(notifier().Count(), 0u);
  InDaemon([] { state::RegisterSnapi(); });
  Post(WM_CLOSE, 0);
  Wait(5000);
  EXPECT_EQ(notifier().Count(), 0u);
  auto m = Here();
  Write(kPhone, u"Signal Strength Raw", 7);
  EXPECT_EQ(Count(Since(m), Msg("Dorvane2", 32778)), 0u);
}

TEST_F(Subscriptions, ThePhoneSkinFlagIsReadWhenPresent) {
  Boot();
  DWORD skin = 9;
  InDaemon([&] { skin = state::IsPhoneSkinEnabled(); });
  EXPECT_EQ(skin, 0u);
  SetDword(u"HKLM\\Security\\Phone\\Skin", u"Enabled", 1);
  InDaemon([&] { skin = state::IsPhoneSkinEnabled(); });
  EXPECT_EQ(skin, 1u);
}

}  // namespace
