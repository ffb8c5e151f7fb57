// The exception programs that hold back locking, the music players that hold back powering
// down, and the launch list of the "Dolm" program.
#include "settings/exceptions.h"

#include <deque>
#include <functional>

#include "daemon_fixture.h"
#include "log/debug_log.h"
#include "platform/user.h"
#include "settings/settings.h"

namespace {

constexpr char16_t kExceptions[] = u"HKCU\\Software\\Zeq\\Vurl\\Exceptions";
constexpr char16_t kLaunchList[] = u"HKCU\\Software\\Zeq\\Vurl\\DolmEXE";

std::vector<uint8_t> Utf16(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}
sim::RegValue Sz(std::u16string_view text) {
  return {REG_SZ, Utf16(text)};
}
std::u16string EntryName(int i) {
  return platform::U16((i < 10 ? "ExceptionEXE0" : "ExceptionEXE") + std::to_string(i));
}

const std::u16string kDefaults[20] = {u"iexplore.exe", u"VoiceCommander.exe", u"AlarmPopup.exe",
                                      u"SDDialer.exe", u"HTCAlbum.exe",       u"wmplayer.exe"};

class ExceptionsTest : public DaemonTest {
 protected:
  void SetUp() override { StartProbe(); }

  std::vector<std::u16string> LoadList(bool debug = false) {
    std::vector<std::u16string> list;
    InProbe([&] {
      settings::S().DebugOn = debug;
      settings::LoadExceptionList();
      for (size_t i = 0; i < settings::kExceptionCount; ++i)
        list.push_back(settings::ExceptionEntry(i));
    });
    return list;
  }
  bool ExceptionRunning(int foregroundOnly) {
    bool running = false;
    InProbe([&] {
      settings::S().ExceptionEXEisFG = static_cast<uint8_t>(foregroundOnly);
      running = settings::IsExceptionRunning();
    });
    return running;
  }
  bool MusicRunning() {
    bool running = false;
    InProbe([&] { running = settings::IsMusicRunning(); });
    return running;
  }

  HWND Start(const std::u16string& exe) {
    dev.files().AddFile(u"\\Windows\\" + exe);
    dev.Launch(exe, u"", SW_SHOW);
    EXPECT_TRUE(dev.RunUntilIdle()) << dev.Failure();
    return dev.windows().Find(exe.substr(0, exe.rfind(u'.')).c_str(), nullptr);
  }
  std::optional<sim::RegValue> Entry(int i) {
    return dev.registry().GetValue(kExceptions, EntryName(i));
  }
  size_t LogCount(std::u16string_view text) {
    size_t n = 0;
    for (const auto& line : LogLines()) n += line.size() > 10 && line.substr(10) == text;
    return n;
  }
};

TEST_F(ExceptionsTest, AFreshStoreGetsTheSixDefaultsAndEmptyValues) {
  auto list = LoadList();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(list[i], kDefaults[i]) << i;
    EXPECT_EQ(Entry(i), Sz(kDefaults[i])) << i;
  }
  EXPECT_EQ(Entry(0)->bytes.size(), 24u);
  EXPECT_EQ(dev.registry().ListValues(kExceptions).size(), 20u);

  InProbe([] { settings::CreateLaunchList(); });
  auto launch = dev.registry().ListValues(kLaunchList);
  EXPECT_EQ(launch.size(), 18u);
  for (int i = 0; i < 9; ++i) {
    for (const char* suffix : {"File", "Parameters"}) {
      auto v = dev.registry().GetValue(kLaunchList, platform::U16(std::to_string(i) + suffix));
      EXPECT_EQ(v, Sz(u"")) << i << suffix;
    }
  }
}

TEST_F(ExceptionsTest, MissingOrUnreadableNamesAreRestoredInStoreAndMemory) {
  LoadList();
  dev.registry().DeleteValue(kExceptions, u"ExceptionEXE03");
  dev.registry().DeleteValue(kExceptions, u"ExceptionEXE12");
  std::u16string fifty(46, u'n');
  fifty += u".exe";
  std::u16string fortyNine = fifty.substr(1);
  dev.registry().SetValue(kExceptions, u"ExceptionEXE01", REG_SZ, Utf16(fifty));  // no NUL
  dev.registry().SetValue(kExceptions, u"ExceptionEXE15", REG_SZ, Utf16(fifty + u'\0'));
  dev.registry().SetValue(kExceptions, u"ExceptionEXE07", REG_SZ, Utf16(fortyNine + u'\0'));
  dev.registry().SetValue(kExceptions, u"ExceptionEXE08", REG_SZ, Utf16(u"Opera.exe"));

  auto list = LoadList();
  EXPECT_EQ(list[3], u"SDDialer.exe");
  EXPECT_EQ(Entry(3), Sz(u"SDDialer.exe"));
  EXPECT_EQ(list[12], u"");
  EXPECT_EQ(Entry(12), Sz(u""));
  EXPECT_EQ(list[1], u"VoiceCommander.exe");
  EXPECT_EQ(Entry(1), Sz(u"VoiceCommander.exe"));
  EXPECT_EQ(list[15], u"");
  EXPECT_EQ(Entry(15), Sz(u""));
  EXPECT_EQ(list[7], fortyNine);
  EXPECT_EQ(Entry(7), (sim::RegValue{REG_SZ, Utf16(fortyNine + u'\0')}));
  EXPECT_EQ(list[8], u"Opera.exe");

  dev.registry().SetValue(kLaunchList, u"3File", REG_SZ, Utf16(u"\\Windows\\a.exe"));
  dev.registry().SetValue(kLaunchList, u"4Parameters", REG_SZ, Utf16(std::u16string(131, u'p')));
  InProbe([] { settings::CreateLaunchList(); });
  EXPECT_EQ(dev.registry().GetValue(kLaunchList, u"3File"), Sz(u"\\Windows\\a.exe"));
  EXPECT_EQ(dev.registry().GetValue(kLaunchList, u"4Parameters"), Sz(u""));
  EXPECT_EQ(dev.registry().ListValues(kLaunchList).size(), 18u);
}

TEST_F(ExceptionsTest, AnExceptionCountsInTheForegroundOnlyUnlessToldOtherwise) {
  LoadList();
  HWND player = Start(u"wmplayer.exe");
  HWND notes = Start(u"notes.exe");
  ASSERT_TRUE(player && notes);
  dev.windows().SetForeground(notes);
  EXPECT_FALSE(ExceptionRunning(1));
  EXPECT_TRUE(ExceptionRunning(0));
  dev.windows().SetForeground(player);
  EXPECT_TRUE(ExceptionRunning(1));
  dev.Kill(u"wmplayer.exe");
  EXPECT_FALSE(ExceptionRunning(0));
}

TEST_F(ExceptionsTest, NamesMatchWithoutRegardToCaseAndEmptyEntriesNever) {
  dev.registry().SetValue(kExceptions, u"ExceptionEXE00", REG_SZ, Utf16(u"IEXPLORE.EXE"));
  LoadList();
  dev.windows().SetForeground(Start(u"iexplore.exe"));
  EXPECT_TRUE(ExceptionRunning(1));

  for (int i = 0; i < 20; ++i)
    dev.registry().SetValue(kExceptions, EntryName(i), REG_SZ, Utf16(u""));
  LoadList();
  EXPECT_FALSE(ExceptionRunning(0));
}

TEST_F(ExceptionsTest, TheChecksAreLoggedWithDebugOn) {
  dev.registry().SetValue(kExceptions, u"ExceptionEXE19", REG_SZ, Utf16(u"last.exe"));
  LoadList(true);
  HWND player = Start(u"wmplayer.exe");
  dev.windows().SetForeground(Start(u"notes.exe"));
  EXPECT_FALSE(ExceptionRunning(1));
  dev.windows().SetForeground(player);
  EXPECT_TRUE(ExceptionRunning(1));
  EXPECT_TRUE(ExceptionRunning(0));
  EXPECT_EQ(LogCount(u"ExceptionIsRunning ?"), 3u);
  EXPECT_EQ(LogCount(u"Check if running iexplore.exe,VoiceCommander.exe,AlarmPopup.exe,"
                     u"SDDialer.exe,HTCAlbum.exe,wmplayer.exe,,,,"),
            3u);
  EXPECT_EQ(LogCount(u"Check if running ,,,,,,,,,last.exe"), 3u);
  EXPECT_EQ(LogCount(u"wmplayer.exe is running FG"), 1u);
  EXPECT_EQ(LogCount(u"wmplayer.exe is running"), 1u);

  InProbe([] { settings::S().DebugOn = 0; });
  size_t lines = LogLines().size();
  EXPECT_TRUE(ExceptionRunning(0));
  dev.Kill(u"wmplayer.exe");
  EXPECT_FALSE(MusicRunning());
  EXPECT_EQ(LogLines().size(), lines);
}

TEST_F(ExceptionsTest, MusicPlayersAreKnownByName) {
  InProbe([] { settings::S().DebugOn = 1; });
  LoadList(true);
  EXPECT_FALSE(MusicRunning());
  EXPECT_EQ(LogCount(u"MusicIsRunning ?"), 1u);
  EXPECT_EQ(LogCount(u"No Music is running"), 1u);

  // The music panel is music, but no exception unless it is listed.
  Start(u"fenk.exe");
  EXPECT_TRUE(MusicRunning());
  EXPECT_EQ(LogCount(u"fenk.exe is running"), 1u);
  EXPECT_FALSE(ExceptionRunning(0));
  dev.Kill(u"fenk.exe");

  Start(u"POCKETMUSIC.EXE");
  EXPECT_TRUE(MusicRunning());
  EXPECT_EQ(LogCount(u"POCKETMUSIC.EXE is running"), 1u);
}

TEST_F(ExceptionsTest, WithoutASnapshotNothingHoldsBackLockingOrPowerDown) {
  LoadList(true);
  dev.windows().SetForeground(Start(u"wmplayer.exe"));
  dev.faults().SetTarget(u"");
  dev.faults().Arm("CreateToolhelp32Snapshot", {}, sim::Faults::kAlways);
  EXPECT_FALSE(ExceptionRunning(1));
  EXPECT_FALSE(ExceptionRunning(0));
  EXPECT_FALSE(MusicRunning());
  EXPECT_EQ(LogCount(u"No Music is running"), 0u);
}

TEST_F(ExceptionsTest, TheListIsReadAtEverySettingsLoad) {
  dev.registry().CreateKey(u"HKCU\\Software\\Zeq\\Vurl");
  dev.registry().SetValue(kExceptions, u"ExceptionEXE06", REG_SZ, Utf16(u"tomtom.exe"));
  std::u16string entry;
  InProbe([&] {
    settings::LoadSettings();
    entry = settings::ExceptionEntry(6);
  });
  EXPECT_EQ(entry, u"tomtom.exe");
  EXPECT_EQ(dev.registry().ListValues(kExceptions).size(), 20u);
  EXPECT_EQ(dev.registry().ListValues(kLaunchList).size(), 18u);
}

}  // namespace
