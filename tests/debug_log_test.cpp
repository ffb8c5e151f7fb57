// The debug log file: its exact bytes, cut lines, and the generations kept with DebugOn.
#include "log/debug_log.h"

#include "daemon_fixture.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "sim_fixture.h"

namespace {

std::string Utf16Bytes(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

class DebugLogFile : public SimTest {
 protected:
  // Runs `body` in a program installed at \Logs\prog.exe and returns the log's bytes.
  std::string LogOf(std::function<void()> body) {
    dev.files().AddFile(u"\\Logs\\prog.exe");
    dev.RegisterProgram(u"prog.exe", [body](const std::u16string&, int) {
      dlog::OpenDebugLog(u"Dorvane2.log");
      body();
      dlog::CloseDebugLog();
      return 0;
    });
    dev.Launch(u"\\Logs\\prog.exe", u"", 5);
    EXPECT_TRUE(dev.RunFor(120000));
    return dev.files().ReadAll(u"\\Logs\\Dorvane2.log").value_or("");
  }
};

TEST_F(DebugLogFile, LinesAreStampedUtf16WithBomAndEndWithQuit) {
  dev.SetClock(SYSTEMTIME{2008, 6, 0, 1, 7, 5, 0, 0});
  dev.SetBootTick(3000);
  std::string bytes = LogOf([] {
    dlog::DebugLog(u"Dorvane Wnd %0X", 0x1a2bu);
    Sleep(61000);
    dlog::DebugLog(u"%s (%d)", u"\\a.exe", 0);
  });
  std::string want = "\xFF\xFE" + Utf16Bytes(
                                      u"07:05:03 \tDorvane Wnd 1A2B\r\n"
                                      u"07:06:04 \t\\a.exe (0)\r\n"
                                      u"07:06:04 \tquit\r\n");
  EXPECT_EQ(bytes, want);
}

TEST_F(DebugLogFile, LongMessagesAndLinesAreCut) {
  std::u16string longText(300, u'x');
  std::string bytes = LogOf([&] {
    dlog::DebugLog(u"%s", longText);                 // message cut to 255
    dlog::DebugLog(u"%s", longText.substr(0, 240));  // fits: 10 + 240 + 2
  });
  std::u16string first = u"00:00:00 \t" + std::u16string(255 - 0, u'x');
  first.resize(259);  // the line is cut at 259 and loses its CR LF
  std::string want = "\xFF\xFE" + Utf16Bytes(first) +
                     Utf16Bytes(u"00:00:00 \t" + std::u16string(240, u'x') + u"\r\n") +
                     Utf16Bytes(u"00:00:00 \tquit\r\n");
  EXPECT_EQ(bytes, want);
}

TEST_F(DebugLogFile, NothingIsWrittenWhenTheLogCannotBeCreated) {
  dev.files().AddFile(u"\\Logs\\Dorvane2.log", "old");
  dev.files().FailPath(u"\\Logs\\Dorvane2.log", ERROR_ACCESS_DENIED);
  std::string bytes = LogOf([] { dlog::DebugLog(u"lost"); });
  EXPECT_EQ(bytes, "old");
}

class DebugLogGenerations : public DaemonTest {
 protected:
  std::u16string Path(int n) {
    std::u16string p = u"\\Program Files\\Vurl\\Dorvane2.log";
    return n ? p + u"." + platform::U16(std::to_string(n)) : p;
  }
  void PlantGenerations() {
    for (int n = 0; n <= 9; ++n) dev.files().AddFile(Path(n), "gen" + std::to_string(n));
  }
};

TEST_F(DebugLogGenerations, DebugOnKeepsNineOldLogs) {
  PlantGenerations();
  dev.registry().SetValue(u"HKCU\\Software\\Zeq\\Vurl", u"DebugOn", REG_BINARY, {1});
  StartDaemon();
  for (int n = 2; n <= 9; ++n)
    EXPECT_EQ(dev.files().ReadAll(Path(n)), "gen" + std::to_string(n - 1));
  EXPECT_EQ(dev.files().ReadAll(Path(1)), "gen0");
  auto lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(8), u" \tDorvane2 v2.21");
}

TEST_F(DebugLogGenerations, WithoutDebugOnTheLogIsJustEmptied) {
  PlantGenerations();
  dev.registry().CreateKey(u"HKCU\\Software\\Zeq\\Vurl");  // not a first run: no notices
  StartDaemon();
  for (int n = 1; n <= 9; ++n) EXPECT_EQ(dev.files().ReadAll(Path(n)), "gen" + std::to_string(n));
  auto lines = LogLines();
  // Only the unconditional lines: the banner, the LED probe, the OEM text, the phone title
  // prefix and the boot tick.
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1].substr(8), u" \tGet Vibrate LED 1");
  EXPECT_EQ(lines[3].substr(8), u" \tPT ()");
  EXPECT_EQ(lines[4].substr(8), u" \tBoot Tick 0");
}

// Before the first run there are no settings at all: DebugOn counts as off.
TEST_F(DebugLogGenerations, WithoutSettingsNoGenerationMoves) {
  PlantGenerations();
  StartProbe();
  for (int n = 1; n <= 9; ++n) EXPECT_EQ(dev.files().ReadAll(Path(n)), "gen" + std::to_string(n));
  EXPECT_EQ(dev.files().ReadAll(Path(0)).value_or("?").substr(0, 2), "\xFF\xFE");
}

}  // namespace
