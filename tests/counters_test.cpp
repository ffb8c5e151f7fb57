// The unread and missed counters: reading them at start-up, the mail storages and reminders,
// the network level, "-reset", the whole set on request and the reminder updates.
#include "state/counters.h"

#include "core/state.h"
#include "state/subscriptions.h"
#include "trace_match.h"

namespace {

using namespace trace_match;

constexpr char16_t kStorages[] = u"HKCU\\Software\\WebIS\\Mail2\\Storages";
constexpr char16_t kReminders[] = u"HKCU\\System\\State\\Shell\\Reminders";
constexpr char16_t kSmsHkcu[] = u"HKCU\\System\\State\\Messages\\SMS\\Unread";
constexpr char16_t kSmsHklm[] = u"HKLM\\System\\State\\Messages\\SMS\\Unread";

std::u16string Numbered(std::u16string_view base, int i) {
  return std::u16string(base) + u"\\" + platform::U16(std::to_string(100 + i));
}

class Counters : public TracedDaemonTest {
 protected:
  template <class T>
  T InDaemonValue(T (*fn)()) {
    T out{};
    InDaemon([&] { out = fn(); });
    return out;
  }
  uint32_t Dword(std::u16string_view key, std::u16string_view name) {
    auto v = dev.registry().GetValue(key, name);
    if (!v || v->bytes.size() != 4) return 0xDEAD;
    return v->bytes[0] | v->bytes[1] << 8 | v->bytes[2] << 16 | uint32_t{v->bytes[3]} << 24;
  }
};

TEST_F(Counters, StartUpReadsEachSourceFromItsHive) {
  SetFlag(u"ShowTask", 0);
  SetFlag(u"KoreanSMSpatch", 1);
  SetDword(u"HKCU\\System\\State\\Tasks", u"Active", 4);
  SetDword(kSmsHkcu, u"Count", 2);
  SetDword(kSmsHklm, u"Count", 6);
  SetDword(u"HKCU\\System\\State\\Phone", u"Missed Call Count", 3);
  SetDword(u"HKLM\\System\\State\\Phone", u"Cellular System Connected", 0x18);
  SetDword(u"HKCU\\Software\\Zeq\\Fenk", u"MusicVolume", 0x1234);
  for (int i = 0; i < 2; ++i) dev.registry().CreateKey(Numbered(kReminders, i));
  Boot();
  core::State g;
  InDaemon([&] { g = core::G(); });
  EXPECT_EQ(g.TaskCount, 0);
  EXPECT_EQ(g.UnreadSMS, 6);
  EXPECT_EQ(g.MissedCalls, 3);
  EXPECT_EQ(g.NetworkLevel, 5u);
  EXPECT_EQ(g.MusicVolume, 0x34);
  EXPECT_EQ(g.ReminderCount, 2);
  EXPECT_EQ(g.ReminderCountSent, 2);
  EXPECT_EQ(g.UnreadMMS, 0);  // absent
  HREGNOTIFY taskSlot = 1;
  InDaemon([&] { taskSlot = state::Subscriptions()[13]; });
  EXPECT_EQ(taskSlot, 0u);
}

TEST_F(Counters, UnreadMailAtStartUpPreviewsTheLastAccountWithNotificationsOn) {
  SetFlag(u"LockNotification", 1);
  SetDword(u"HKCU\\System\\State\\Messages\\TotalEmail\\Unread", u"Count", 2);
  dev.registry().SetValue(u"HKCU\\System\\State\\Messages", u"Last Received Account", REG_SZ,
                          {u'W', 0, u'o', 0, u'r', 0, u'k', 0, 0, 0});
  Boot();
  EXPECT_TRUE(Logged({0, 0}, "Last Email A/C:Work"));
}

TEST_F(Counters, MailStoragesAreSummedUpToTheTenthAndUnreadableOnesAddNothing) {
  Boot();
  EXPECT_EQ(InDaemonValue(&state::SumMailStorageUnread), 0);  // no storages key
  SetDword(Numbered(kStorages, 0), u"TotalUnreadMessages", 2);
  dev.registry().CreateKey(Numbered(kStorages, 1));
  dev.registry().SetValue(Numbered(kStorages, 1), u"TotalUnreadMessages", REG_SZ, {u'9', 0, 0, 0});
  SetDword(Numbered(kStorages, 2), u"TotalUnreadMessages", 5);
  EXPECT_EQ(InDaemonValue(&state::SumMailStorageUnread), 7);
  for (int i = 3; i < 10; ++i) dev.registry().CreateKey(Numbered(kStorages, i));
  SetDword(Numbered(kStorages, 10), u"TotalUnreadMessages", 100);
  EXPECT_EQ(InDaemonValue(&state::SumMailStorageUnread), 7);

  // A change in a watched storage recounts them all for the slide screen.
  InDaemon([] { state::WatchMailStorages(26); });
  auto m = Here();
  SetDword(Numbered(kStorages, 2), u"TotalUnreadMessages", 6);
  ASSERT_TRUE(dev.RunUntilIdle());
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", 32822), {Posted("Vurl", 32822, 8)}));
}

TEST_F(Counters, RemindersAreCountedUpToAHundred) {
  Boot();
  EXPECT_EQ(InDaemonValue(&state::CountReminders), 0);
  for (int i = 0; i < 150; ++i) dev.registry().CreateKey(Numbered(kReminders, i));
  EXPECT_EQ(InDaemonValue(&state::CountReminders), 100);
}

TEST_F(Counters, NetworkLevelIsTheBestGenerationBit) {
  const std::pair<uint32_t, uint32_t> cases[] = {{0x18, 5}, {0x80, 0}, {0, 0},   {1, 1},
                                                 {0x40, 7}, {0x7F, 7}, {0x83, 2}};
  for (auto [flags, level] : cases) EXPECT_EQ(state::NetworkLevelFromFlags(flags), level) << flags;
}

TEST_F(Counters, ResetZeroesTheUnreadCountsOfBothHivesAndLeavesMissedCalls) {
  for (auto key : {kSmsHkcu, kSmsHklm}) SetDword(key, u"Count", 3);
  SetDword(u"HKCU\\System\\State\\Messages\\MMS\\Unread", u"Count", 3);
  SetDword(u"HKCU\\System\\State\\Phone", u"Missed Call Count", 3);
  ASSERT_NE(StartDaemon(u"-reset"), nullptr);
  EXPECT_EQ(Dword(kSmsHkcu, u"Count"), 0u);
  EXPECT_EQ(Dword(kSmsHklm, u"Count"), 0u);
  EXPECT_EQ(Dword(u"HKCU\\System\\State\\Messages\\MMS\\Unread", u"Count"), 0u);
  EXPECT_EQ(Dword(u"HKCU\\System\\State\\Phone", u"Missed Call Count"), 3u);
  EXPECT_EQ(DaemonWindow(), 0u);
}

TEST_F(Counters, TheWholeSetSkipsUnknownCountsAndTheMusicPanelWhenAbsent) {
  Boot();
  InDaemon([] {
    core::G().UnreadMMS = -1;
    core::G().MissedCalls = -1;
    core::G().MusicVolume = 9;
  });
  auto m = Here();
  Post(32803);
  EXPECT_TRUE(InOrder(
      Since(m),
      {Posted("Vurl", 32796), Posted("Vurl", 32779, 0xFFFFFFFF), Posted("Vurl", 32780),
       Posted("Vurl", 32782), Posted("Vurl", 32783), Posted("Vurl", 32822), Posted("Vurl", 32823),
       Posted("Vurl", 32849), Posted("Vurl", 32835), Posted("Vurl", 32816, 9)}));
  for (UINT msg : {32781, 32813, 32814, 32815}) EXPECT_TRUE(NoneOf(Since(m), Msg("Vurl", msg)));

  StartInert(u"Fenk");
  m = Here();
  Post(32803);
  EXPECT_TRUE(InOrder(Since(m), {Posted("Vurl", 32813, 0), Posted("Vurl", 32814, 0),
                                 Posted("Vurl", 32815), Posted("Vurl", 32816)}));
}

TEST_F(Counters, ReminderChangesLeavingTheSameCountForwardItOnce) {
  Boot();
  for (int i = 0; i < 3; ++i) dev.registry().CreateKey(Numbered(kReminders, i));
  auto m = Here();
  SetDword(kReminders, u"Active", 1);
  Wait(1500);
  SetDword(kReminders, u"Active", 2);
  Wait(1500);
  EXPECT_EQ(Count(Since(m), Posted("Dorvane2", 32849)), 2u);
  EXPECT_TRUE(Exactly(Since(m), Msg("Vurl", 32849), {Posted("Vurl", 32849, 3)}));
}

}  // namespace
