#include <gtest/gtest.h>

#include <string>

#include "device/scenario/scenario.h"

using namespace device;

namespace {

ParseResult Parse(std::string_view text) {
  return ParseScenario(text, "t.scn");
}

// The action of a scenario made of one line, which must parse.
Action One(std::string_view line) {
  ParseResult r = Parse(line);
  if (!r.ok()) ADD_FAILURE() << r.error->text;
  if (r.steps.size() != 1) {
    ADD_FAILURE() << "expected one step from: " << line;
    return verb::Settle{};
  }
  return r.steps[0].action;
}

template <typename T>
T As(std::string_view line) {
  Action a = One(line);
  if (const T* v = std::get_if<T>(&a)) return *v;
  ADD_FAILURE() << "wrong verb parsed from: " << line;
  return T{};
}

// The error text of a scenario that must fail.
std::string Error(std::string_view text) {
  ParseResult r = Parse(text);
  if (r.ok()) return "(parsed)";
  EXPECT_TRUE(r.steps.empty());
  return r.error->text;
}

MsgParam Value(uint32_t v) {
  return {MsgParam::Kind::Value, v, {}};
}
const MsgParam kAny{MsgParam::Kind::Any, 0, {}};

}  // namespace

TEST(ScenarioParse, WordsQuotesAndComments) {
  ParseResult r = Parse(
      "# a comment line\n"
      "\n"
      "   # an indented comment\n"
      "file add \"\\My Documents\\a b.JPG\"   # trailing comment\r\n"
      "\tfile add x#y\n"
      "expect log \"say \\\"hi\\\" to C:\\\\temp\\n\"\n"
      "expect log \"\"\n");
  ASSERT_TRUE(r.ok()) << r.error->text;
  ASSERT_EQ(r.steps.size(), 4u);
  EXPECT_EQ(r.steps[0].line, 4);
  EXPECT_EQ(r.steps[0].source, "file add \"\\My Documents\\a b.JPG\"");
  EXPECT_EQ(std::get<verb::FileAdd>(r.steps[0].action).path, "\\My Documents\\a b.JPG");
  EXPECT_EQ(r.steps[1].column, 2);
  EXPECT_EQ(std::get<verb::FileAdd>(r.steps[1].action).path, "x#y");  // # inside a word
  EXPECT_EQ(std::get<verb::ExpectLog>(r.steps[2].action).text, "say \"hi\" to C:\\temp\\n");
  EXPECT_EQ(std::get<verb::ExpectLog>(r.steps[3].action).text, "");
  EXPECT_TRUE(Parse("").ok());
}

TEST(ScenarioParse, NumbersAreThirtyTwoBits) {
  auto dword = [](std::string_view n) {
    return As<verb::RegSet>("reg set HKCU\\K v dword " + std::string(n)).data.dword;
  };
  EXPECT_EQ(dword("32793"), 32793u);
  EXPECT_EQ(dword("0x8019"), 0x8019u);
  EXPECT_EQ(dword("0XfFfF"), 0xFFFFu);
  EXPECT_EQ(dword("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(dword("-2147483648"), 0x80000000u);
  EXPECT_EQ(dword("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(As<verb::Boot>("boot 120000").tick, 120000u);

  EXPECT_EQ(Error("reg set HKCU\\K v dword 4294967296"),
            "t.scn:1:24: number out of range (32 bits): 4294967296");
  EXPECT_EQ(Error("reg set HKCU\\K v dword 0x100000000"),
            "t.scn:1:24: number out of range (32 bits): 0x100000000");
  EXPECT_EQ(Error("reg set HKCU\\K v dword -2147483649"),
            "t.scn:1:24: number out of range (32 bits): -2147483649");
  EXPECT_EQ(Error("reg set HKCU\\K v dword 12ab"), "t.scn:1:24: expected a number, not '12ab'");
  EXPECT_EQ(Error("reg set HKCU\\K v dword 0x"), "t.scn:1:24: expected a number, not '0x'");
  EXPECT_EQ(Error("boot -1"), "t.scn:1:6: expected a number that is not negative, not '-1'");
}

TEST(ScenarioParse, Durations) {
  EXPECT_EQ(As<verb::Wait>("wait 250ms").ms, 250u);
  EXPECT_EQ(As<verb::Wait>("wait 3s").ms, 3000u);
  EXPECT_EQ(As<verb::Wait>("wait 2m").ms, 120000u);
  EXPECT_EQ(As<verb::Wait>("wait 1h").ms, 3600000u);
  EXPECT_EQ(As<verb::Wait>("wait 0s").ms, 0u);
  for (const char* bad : {"wait 5", "wait 3x", "wait ms", "wait -1s", "wait 1.5s"})
    EXPECT_EQ(Error(bad), "t.scn:1:6: expected a duration like 250ms, 3s, 2m or 1h") << bad;
  EXPECT_EQ(Error("wait 99999999999999999999h"),
            "t.scn:1:6: duration out of range: 99999999999999999999h");
}

TEST(ScenarioParse, MessagesWithWildcardsAndWindowHandles) {
  verb::Post p = As<verb::Post>("post Dorvane2 32818 @listener -1");
  EXPECT_EQ(p.windowClass, "Dorvane2");
  EXPECT_EQ(p.msg, Value(32818));
  EXPECT_EQ(p.wParam, (MsgParam{MsgParam::Kind::WindowOf, 0, "listener"}));
  EXPECT_EQ(p.lParam, Value(0xFFFFFFFF));
  // By the names trace lines show, in any case.
  EXPECT_EQ(As<verb::Post>("post Dorvane2 RefreshSetting").msg, Value(32811));
  EXPECT_EQ(As<verb::ExpectPosted>("expect posted Vurl lockstate 1").msg, Value(32841));
  EXPECT_EQ(As<verb::Post>("post iexplore WM_CLOSE").msg, Value(16));
  p = As<verb::Post>("post Dorvane2 0x802B");
  EXPECT_EQ(p.wParam, Value(0));  // left out: 0
  EXPECT_EQ(p.lParam, Value(0));

  verb::ExpectPosted e = As<verb::ExpectPosted>("expect posted \"Phone - Incoming\" * 5");
  EXPECT_EQ(e.windowClass, "Phone - Incoming");
  EXPECT_EQ(e.msg, kAny);
  EXPECT_EQ(e.wParam, Value(5));
  EXPECT_EQ(e.lParam, kAny);  // left out: any
  verb::ExpectNoPost n = As<verb::ExpectNoPost>("expect no-post listener 32792 * *");
  EXPECT_EQ(n.msg, Value(32792));
  EXPECT_EQ(n.wParam, kAny);

  EXPECT_EQ(Error("post Dorvane2 32818 *"), "t.scn:1:21: expected a number or @CLASS, not '*'");
  EXPECT_EQ(Error("post Dorvane2 32818 @"), "t.scn:1:21: expected a window class after @");
  EXPECT_EQ(Error("post Dorvane2 @x"), "t.scn:1:15: expected a message number or name, not '@x'");
  EXPECT_EQ(As<verb::ExpectPosted>("expect posted a 1 @b").wParam,
            (MsgParam{MsgParam::Kind::WindowOf, 0, "b"}));
  EXPECT_EQ(Error("post Dorvane2 1 2 3 4"), "t.scn:1:21: unexpected extra word '4'");
}

TEST(ScenarioParse, ClockIsAValidDateAndTime) {
  SYSTEMTIME t = As<verb::Clock>("clock 2008-06-01 07:00:00").time;
  EXPECT_EQ(t.wYear, 2008);
  EXPECT_EQ(t.wMonth, 6);
  EXPECT_EQ(t.wDay, 1);
  EXPECT_EQ(t.wDayOfWeek, 0);  // a Sunday
  EXPECT_EQ(t.wHour, 7);
  EXPECT_EQ(As<verb::Clock>("clock 2008-02-29 23:59:59").time.wDayOfWeek, 5);
  EXPECT_EQ(Error("clock 2007-02-29 00:00:00"), "t.scn:1:7: no such date: 2007-02-29");
  EXPECT_EQ(Error("clock 1900-02-29 00:00:00"), "t.scn:1:7: no such date: 1900-02-29");
  EXPECT_EQ(Error("clock 2008-13-01 00:00:00"), "t.scn:1:7: no such date: 2008-13-01");
  EXPECT_EQ(Error("clock 2008-6-1 00:00:00"), "t.scn:1:7: expected a date like 2008-06-01");
  EXPECT_EQ(Error("clock 2008-06-01 24:00:00"), "t.scn:1:18: no such time: 24:00:00");
  EXPECT_EQ(Error("clock 2008-06-01 7:00"), "t.scn:1:18: expected a time like 07:00:00");
  EXPECT_EQ(Error("clock 2008-06-01"), "t.scn:1:17: expected a time like 07:00:00");
}

TEST(ScenarioParse, DeviceSetupAndRegistry) {
  EXPECT_EQ(As<verb::FileDelete>("file delete \\Windows\\x.txt").path, "\\Windows\\x.txt");
  EXPECT_EQ(As<verb::Install>("install \"\\Program Files\\Vurl\\dorvane2.exe\"").path,
            "\\Program Files\\Vurl\\dorvane2.exe");

  verb::RegSet s = As<verb::RegSet>("reg set HKCU\\Software\\Vurl Mode dword 3");
  EXPECT_EQ(s.key, "HKEY_CURRENT_USER\\Software\\Vurl");
  EXPECT_EQ(s.name, "Mode");
  EXPECT_EQ(s.data.type, RegData::Type::Dword);
  s = As<verb::RegSet>("reg set hklm\\Soft\\ \"\" binary 0a0B");
  EXPECT_EQ(s.key, "HKEY_LOCAL_MACHINE\\Soft");
  EXPECT_EQ(s.name, "");  // the default value
  EXPECT_EQ(s.data.bytes, (std::vector<uint8_t>{0x0a, 0x0b}));
  EXPECT_TRUE(As<verb::RegSet>("reg set HKLM\\S v binary \"\"").data.bytes.empty());
  s = As<verb::RegSet>("reg set HKEY_CURRENT_USER\\S v sz \"Slide to unlock\"");
  EXPECT_EQ(s.key, "HKEY_CURRENT_USER\\S");
  EXPECT_EQ(s.data.type, RegData::Type::Sz);
  EXPECT_EQ(s.data.text, "Slide to unlock");

  EXPECT_EQ(As<verb::RegDelete>("reg delete HKEY_LOCAL_MACHINE\\S v").name, "v");
  EXPECT_FALSE(As<verb::RegDelete>("reg delete HKLM\\S").name.has_value());

  const char* keyHelp = "expected a registry key like HKCU\\Software\\Vurl or HKLM\\...";
  for (const char* bad : {"reg delete HKCR\\S", "reg delete HKCU\\", "reg delete HKCU",
                          "reg delete HKCU\\a\\\\b", "reg delete Software\\Vurl"})
    EXPECT_EQ(Error(bad), std::string("t.scn:1:12: ") + keyHelp) << bad;
  EXPECT_EQ(Error("reg set HKCU\\S v binary 0a0"),
            "t.scn:1:25: expected hex bytes like 01 or 0a0b (an even number of digits)");
  EXPECT_EQ(
      Error("reg set HKCU\\S v qword 1"),
      "t.scn:1:18: unknown value type 'qword'; did you mean 'dword'? expected dword, binary or sz");
  EXPECT_EQ(Error("reg set HKCU\\S v sz a b"), "t.scn:1:23: unexpected extra word 'b'");
}

TEST(ScenarioParse, ProgramsTimeUserAndPower) {
  verb::Start st = As<verb::Start>("start dorvane2   -show  \"a  b\" \\x");
  EXPECT_EQ(st.program, "dorvane2");
  EXPECT_EQ(st.args, "-show a  b \\x");
  EXPECT_EQ(As<verb::Start>("start iexplore.exe").args, "");
  EXPECT_EQ(As<verb::Kill>("kill fenk.exe").program, "fenk.exe");
  EXPECT_EQ(As<verb::Foreground>("foreground fenk.exe").program, "fenk.exe");
  As<verb::Settle>("settle");
  As<verb::UserUnlock>("user unlock");
  As<verb::UserOk>("user ok");

  struct {
    const char* line;
    const char* state;
    uint32_t flags;
  } const power[] = {
      {"power on", "on", 0x00010000},
      {"power idle", "screenoff", 0x00100000},
      {"power suspend", "suspend", 0x00200000},
      {"power unattended", "unattended", 0x00400000},
      {"power password", "password", 0x10010000},
      {"power resuming", "resuming", 0x00010000},
      {"power state boot 0x20", "boot", 0x20},
  };
  for (const auto& p : power) {
    verb::Power v = As<verb::Power>(p.line);
    EXPECT_EQ(v.state, p.state) << p.line;
    EXPECT_EQ(v.flags, p.flags) << p.line;
  }
  EXPECT_EQ(As<verb::PowerAc>("power ac on").lineStatus, 1);
  EXPECT_EQ(As<verb::PowerAc>("power ac off").lineStatus, 0);
  EXPECT_EQ(As<verb::PowerAc>("power ac unknown").lineStatus, 255);
  EXPECT_EQ(As<verb::PowerBattery>("power battery 255").percent, 255);
  EXPECT_EQ(Error("power battery 256"), "t.scn:1:15: expected a battery percentage from 0 to 255");
  EXPECT_EQ(Error("power ac maybe"),
            "t.scn:1:10: unknown AC state 'maybe'; expected on, off or unknown");
}

TEST(ScenarioParse, Expectations) {
  verb::ExpectReg r = As<verb::ExpectReg>("expect reg HKCU\\S Count dword -1");
  EXPECT_EQ(r.key, "HKEY_CURRENT_USER\\S");
  EXPECT_EQ(r.data.dword, 0xFFFFFFFFu);
  EXPECT_EQ(As<verb::ExpectReg>("expect reg HKCU\\S T sz \"a b\"").data.text, "a b");
  EXPECT_EQ(As<verb::ExpectNoReg>("expect no-reg HKCU\\S T").name, "T");
  EXPECT_FALSE(As<verb::ExpectNoReg>("expect no-reg HKCU\\S").name);
  EXPECT_EQ(As<verb::ExpectLog>("expect log \"Dorvane Wnd\"").text, "Dorvane Wnd");
  EXPECT_EQ(As<verb::ExpectNoLog>("expect no-log Error").text, "Error");

  verb::ExpectWindow w = As<verb::ExpectWindow>("expect window HHTaskBar foreground");
  EXPECT_EQ(w.windowClass, "HHTaskBar");
  EXPECT_EQ(w.state, verb::WindowState::Foreground);
  EXPECT_EQ(As<verb::ExpectWindow>("expect window x absent").state, verb::WindowState::Absent);

  EXPECT_EQ(As<verb::ExpectRunning>("expect running vurl.exe").program, "vurl.exe");
  EXPECT_EQ(As<verb::ExpectNotRunning>("expect not-running vurl.exe").program, "vurl.exe");
  EXPECT_FALSE(As<verb::ExpectLaunched>("expect launched vurl.exe").args);  // any
  EXPECT_EQ(As<verb::ExpectLaunched>("expect launched vurl.exe \"\"").args, "");
  EXPECT_EQ(As<verb::ExpectLaunched>("expect launched vurl.exe -a b").args, "-a b");
  EXPECT_EQ(As<verb::ExpectNoLaunch>("expect no-launch vurl.exe").program, "vurl.exe");

  EXPECT_EQ(Error("expect window x shown"),
            "t.scn:1:17: unknown window state 'shown'; expected visible, hidden, foreground, "
            "absent, at, topmost, not-topmost, exstyle or above");
}

TEST(ScenarioParse, ErrorsPointAtTheOffendingWord) {
  EXPECT_EQ(Error("settle\n\n  wiat 3s\n"), "t.scn:3:3: unknown verb 'wiat'; did you mean 'wait'?");
  EXPECT_EQ(
      Error("file ad x"),
      "t.scn:1:6: unknown verb 'file ad'; did you mean 'add'? expected add or delete after file");
  EXPECT_EQ(Error("user"),
            "t.scn:1:5: expected unlock, ok, answer, reject, dial or hangup after user");
  // A missing word points just past the last word, whatever follows it.
  EXPECT_EQ(Error("wait   # soon"), "t.scn:1:5: expected a duration like 250ms, 3s, 2m or 1h");
  EXPECT_EQ(Error("reg set HKCU\\S v"), "t.scn:1:17: expected value type: dword, binary or sz");
  EXPECT_EQ(Error("settle now"), "t.scn:1:8: unexpected extra word 'now'");
  EXPECT_EQ(Error("power on 1"), "t.scn:1:10: unexpected extra word '1'");
  // Columns count characters, so UTF-8 text before the error does not shift them.
  EXPECT_EQ(Error("expect log \"\xC3\xA9t\xC3\xA9\" x"), "t.scn:1:18: unexpected extra word 'x'");
  EXPECT_EQ(Error("expect log \"open"), "t.scn:1:12: unterminated quote");
  EXPECT_EQ(Error("expect log \"a\"b"), "t.scn:1:15: expected a blank after the closing quote");
  EXPECT_EQ(Error("expect log a\"b\""),
            "t.scn:1:13: unexpected quote inside a word (quote the whole word)");
}

TEST(ScenarioParse, SetupOrderIsCheckedBeforeAnythingRuns) {
  EXPECT_TRUE(Parse("clock 2008-06-01 07:00:00\nfile add a\nboot 5\nreg set HKCU\\S v dword 1\n"
                    "start dorvane2\ninstall \\b.exe\nreg delete HKCU\\S\n")
                  .ok());
  EXPECT_EQ(Error("boot 1\nclock 2008-06-01 07:00:00"),
            "t.scn:2:1: clock must come before boot and before any event");
  EXPECT_EQ(Error("wait 1s\n  clock 2008-06-01 07:00:00"),
            "t.scn:2:3: clock must come before boot and before any event");
  EXPECT_EQ(Error("expect running x\nboot 1"), "t.scn:2:1: boot must come before any event");
}

TEST(ScenarioParse, ShellLines) {
  ParseResult blank = ParseLine("   # nothing", 4, "shell");
  EXPECT_TRUE(blank.ok());
  EXPECT_TRUE(blank.steps.empty());

  ScenarioOrder order;
  ParseResult r = ParseLine("power idle", 7, "shell", &order);
  ASSERT_EQ(r.steps.size(), 1u);
  EXPECT_EQ(r.steps[0].line, 7);
  EXPECT_EQ(ParseLine("boot 1", 8, "shell", &order).error->text,
            "shell:8:1: boot must come before any event");
  EXPECT_TRUE(ParseLine("boot 1", 8, "shell").ok());  // without an order, lines stand alone
}

TEST(ScenarioParse, FaultAndObservationVerbs) {
  for (const char* line :
       {"fail CreateProcessW", "fail RegOpenKeyExW 5 3", "fail ExtEscape 0 always",
        "fail CoCreateInstance E_FAIL", "fail PowerPolicyNotify -1", "expect trace \"fault\"",
        "expect exit iexplore 1", "expect subclassed Manila", "device os 4"})
    EXPECT_TRUE(std::holds_alternative<verb::Model>(One(line))) << line;
  EXPECT_EQ(As<verb::ExpectWindow>("expect window Dialog \"Phone - Incoming...\" hidden").title,
            "Phone - Incoming...");
  EXPECT_EQ(Error("fail NoSuchCall"),
            "t.scn:1:6: unknown platform function 'NoSuchCall' (no fault can be set on it)");
  EXPECT_EQ(Error("fail CreateProcessW 5 0"), "t.scn:1:23: expected a count from 1 (or always)");
  EXPECT_EQ(Error("fail CreateProcessW five"),
            "t.scn:1:21: expected a result (a number or a name like E_FAIL), not 'five'");
  EXPECT_EQ(Error("fail CreateProcessW 5 3 4"), "t.scn:1:25: unexpected extra word '4'");
  EXPECT_EQ(Error("expect exit iexplore"), "t.scn:1:21: expected an exit code");
  // Setting-up verbs may come before boot; events may not.
  EXPECT_EQ(Error("start dorvane2\nfail CreateProcessW\nboot 5"),
            "t.scn:3:1: boot must come before any event");
  EXPECT_TRUE(Parse("fail CreateProcessW\ndevice leds 1\nboot 5\n").ok());
}

TEST(ScenarioParse, TelephonyServerVerbs) {
  for (const char* line :
       {"call hold", "call unhold 2", "call offer 5551234 --withheld --id-after 1s", "call refuse",
        "call refuse LINEERR_NOMEM", "call refuse 0x80000048", "line close", "line reinit",
        "expect call 1 onhold"})
    EXPECT_TRUE(std::holds_alternative<verb::Model>(One(line))) << line;
  EXPECT_EQ(Error("call hold 0"), "t.scn:1:11: calls are numbered from 1");
  EXPECT_EQ(Error("call unhold now"), "t.scn:1:13: unexpected extra word 'now'");
  EXPECT_EQ(Error("call offer 555 --withheld --no-id"),
            "t.scn:1:27: --withheld and --no-id exclude each other");
  EXPECT_EQ(Error("call offer --no-id --withheld"),
            "t.scn:1:20: --withheld and --no-id exclude each other");
  EXPECT_EQ(Error("call refuse 0"), "t.scn:1:13: a refused call needs a failing result, not 0");
  EXPECT_EQ(Error("call refuse busy"),
            "t.scn:1:13: expected a result (a number or a name like LINEERR_OPERATIONFAILED), not "
            "'busy'");
  EXPECT_EQ(Error("call refuse 1 2"), "t.scn:1:15: unexpected extra word '2'");
  EXPECT_EQ(Error("line"), "t.scn:1:5: expected close or reinit after line");
  EXPECT_EQ(Error("line open"),
            "t.scn:1:6: unknown verb 'line open'; expected close or reinit after line");
  EXPECT_EQ(Error("line close 1"), "t.scn:1:12: unexpected extra word '1'");
  EXPECT_EQ(
      Error("expect call onhld"),
      "t.scn:1:13: unknown call state 'onhld'; did you mean 'onhold'? expected offering, dialing, "
      "connected, "
      "onhold, busy, disconnected or idle");
}

TEST(ScenarioParse, WindowVerbs) {
  for (const char* line :
       {"expect window Vurl at 0 -26 240 0", "expect window Dialog \"Phone\" topmost",
        "expect window Vurl not-topmost", "expect window Vurl exstyle 60000008",
        "expect window Vurl above Dialog \"Phone - Incoming...\"", "activate Dialog \"Phone\"",
        "expect reached Manila 256 @Vurl *", "expect not-reached Manila 6"})
    EXPECT_TRUE(std::holds_alternative<verb::Model>(One(line))) << line;
  EXPECT_EQ(As<verb::ExpectNoPost>("expect no-post Vurl 32801 * @Dorvane2").lParam,
            (MsgParam{MsgParam::Kind::WindowOf, 0, "Dorvane2"}));
  // A title that is itself a state word is read as one when what follows does not fit it.
  EXPECT_EQ(As<verb::ExpectWindow>("expect window x at hidden").title, "at");
  EXPECT_EQ(As<verb::ExpectWindow>("expect window x visible hidden").title, "visible");
  EXPECT_EQ(As<verb::ExpectWindow>("expect window x \"a b\" absent").title, "a b");

  EXPECT_EQ(Error("expect window x"),
            "t.scn:1:16: expected window state: visible, hidden, foreground, absent, at, topmost, "
            "not-topmost, exstyle or above");
  EXPECT_EQ(Error("expect window x at 0 0 240"), "t.scn:1:27: expected the bottom edge");
  EXPECT_EQ(Error("expect window x at 0 0 1 y"), "t.scn:1:26: expected a number, not 'y'");
  EXPECT_EQ(Error("expect window x exstyle"),
            "t.scn:1:24: expected an extended style in hex like 0x60000008");
  EXPECT_EQ(Error("expect window x exstyle 0x6000000G"),
            "t.scn:1:25: expected an extended style in hex like 0x60000008, not '0x6000000G'");
  EXPECT_EQ(Error("expect window x exstyle 0x100000000"),
            "t.scn:1:25: expected an extended style in hex like 0x60000008, not '0x100000000'");
  EXPECT_EQ(Error("expect window x above"),
            "t.scn:1:22: expected the class of the window below it");
  EXPECT_EQ(Error("expect window x topmost now"), "t.scn:1:25: unexpected extra word 'now'");
  EXPECT_EQ(Error("activate"), "t.scn:1:9: expected a window class");
  EXPECT_EQ(Error("activate a b c"), "t.scn:1:14: unexpected extra word 'c'");
  EXPECT_EQ(Error("expect reached Manila"), "t.scn:1:22: expected a message number");
  EXPECT_EQ(Error("expect not-reached Manila 6 @"), "t.scn:1:29: expected a window class after @");
  EXPECT_EQ(Error("expect reached Manila @Vurl"),
            "t.scn:1:23: expected a message number, name or *, not '@Vurl'");
  EXPECT_EQ(Error("expect posted a 1 b"), "t.scn:1:19: expected a number, * or @CLASS, not 'b'");
  EXPECT_EQ(Error("expect timer a @b"), "t.scn:1:16: expected a number, not '@b'");
}

TEST(ScenarioParse, ShapedPimSimAndMessageVerbs) {
  for (const char* line :
       {"appointment edit Dentist --start 2008-06-01 14:00 --location \"Park Road\"",
        "task edit \"Pay rent\" --due none --importance 2", "expect pim session closed",
        "sim size 1000", "sim absent", "sim entry 250 0123 Zoe",
        "sms arrive \"\" Hi --no-sender --no-time --flags 21",
        "email arrive Work Carl Budget --flags 0x1 --address c@x", "fail IPOutlookApp::Logon",
        "fail IUnknown::QueryInterface E_NOINTERFACE always", "fail Logon"})
    EXPECT_TRUE(std::holds_alternative<verb::Model>(One(line))) << line;
  EXPECT_EQ(Error("appointment edit Dentist"),
            "t.scn:1:25: nothing to change: expected --subject, --start, --end or --location");
  EXPECT_EQ(Error("appointment edit A --start 2008-06-01 14:00 --end 2008-06-01 13:00"),
            "t.scn:1:45: the appointment ends before it starts");
  EXPECT_EQ(Error("appointment edit A --start 2008-06-01 9:30"),
            "t.scn:1:39: expected a time like 09:30");
  EXPECT_EQ(Error("task edit T --due tomorrow"), "t.scn:1:19: expected a date like 2008-06-01");
  EXPECT_EQ(Error("task edit T --importance 3"), "t.scn:1:26: expected an importance 0, 1 or 2");
  EXPECT_EQ(Error("task edit T --due none --due none"), "t.scn:1:24: --due is given twice");
  EXPECT_EQ(Error("task edit T --location x"),
            "t.scn:1:13: unknown option '--location'; expected --subject, --due or --importance");
  EXPECT_EQ(Error("expect pim session ajar"),
            "t.scn:1:20: unknown session state 'ajar'; expected open or closed");
  EXPECT_EQ(Error("sim size 0"), "t.scn:1:10: a SIM has 1 to 1000 positions, not 0");
  EXPECT_EQ(Error("sim size 1001"), "t.scn:1:10: a SIM has 1 to 1000 positions, not 1001");
  EXPECT_EQ(Error("sim entry 1001 1 A"), "t.scn:1:11: a SIM has at most 1000 positions, not 1001");
  EXPECT_EQ(Error("sim absent now"), "t.scn:1:12: unexpected extra word 'now'");
  EXPECT_EQ(Error("sms arrive A B --flags 1g"),
            "t.scn:1:24: expected the message flags in hex, like 0x21");
  EXPECT_EQ(Error("sms arrive A B --flags 1 --read"),
            "t.scn:1:26: --flags holds the read flag (1) itself; leave out --read");
  EXPECT_EQ(Error("mms arrive A B --address x"),
            "t.scn:1:16: unknown option '--address'; expected --read, --flags, --no-sender or "
            "--no-time");
  EXPECT_EQ(Error("fail IPOutlookApp::Fly"),
            "t.scn:1:6: unknown COM method 'IPOutlookApp::Fly' (no fault can be set on it)");
}

TEST(ScenarioParse, HostileInputGetsAShortErrorAtItsLineAndColumn) {
  const std::string kBadUtf8 = " (an overlong, surrogate, stray or cut short sequence)";
  // C1 9C would be a backslash if overlong forms were read; it must not name a folder.
  EXPECT_EQ(Error("file add \"\xC1\x9CTemp\""),
            "t.scn:1:11: invalid UTF-8 at byte 0xC1" + kBadUtf8);
  EXPECT_EQ(Error("settle\nreg set HKCU\\S v sz \xC3\xA9\xED\xA0\x80"),
            "t.scn:2:22: invalid UTF-8 at byte 0xED" + kBadUtf8);
  EXPECT_EQ(Error("expect log ab\xE2\x82"), "t.scn:1:14: invalid UTF-8 at byte 0xE2" + kBadUtf8);
  EXPECT_EQ(Error("# \x80 even in a comment"), "t.scn:1:3: invalid UTF-8 at byte 0x80" + kBadUtf8);
  EXPECT_EQ(ParseLine("kill \xF4\x90\x80\x80", 3, "shell").error->text,
            "shell:3:6: invalid UTF-8 at byte 0xF4" + kBadUtf8);

  // A huge word is quoted by its first 40 characters, cut between characters.
  EXPECT_EQ(Error(std::string(1 << 20, 'x')),
            "t.scn:1:1: unknown verb '" + std::string(40, 'x') + "...'");
  std::string accents;
  for (int i = 0; i < 100; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(Error("settle " + accents),
            "t.scn:1:8: unexpected extra word '" + accents.substr(0, 80) + "...'");

  // No run can move the device clock past its end, one wait at a time or all together.
  const std::string kPastEnd =
      "this takes the device clock past its end: a run may move it on by at most 10000 years";
  EXPECT_EQ(Error("wait 999999999h"), "t.scn:1:1: " + kPastEnd);
  EXPECT_TRUE(Parse("boot 5\nwait 52596000h\nsettle\n").ok());  // 6000 years
  EXPECT_EQ(Error("boot 5\nwait 52596000h\nsettle\n  wait 52596000h\n"), "t.scn:4:3: " + kPastEnd);
}

TEST(ScenarioParse, TimeZoneAndClockVerbs) {
  for (const char* line :
       {"device timezone +01:00", "device timezone -05:00 --dst 2008-03-30T02:00 2008-10-26T03:00",
        "clock set 2008-06-01 12:30", "clock set 2008-06-01 12:30:15"})
    EXPECT_TRUE(std::holds_alternative<verb::Model>(One(line))) << line;
  EXPECT_EQ(As<verb::Clock>("clock 2008-06-01 07:00:00").time.wHour, 7);

  EXPECT_EQ(Error("device timezone +25:00"),
            "t.scn:1:17: no such offset: +25:00 (zones run from -12:00 to +14:00)");
  EXPECT_EQ(Error("device timezone 1:00"),
            "t.scn:1:17: expected an offset from UTC like +01:00 or -05:00");
  EXPECT_EQ(Error("device timezone +01:00 --summer"),
            "t.scn:1:24: expected --dst or the end of the line");
  EXPECT_EQ(Error("device timezone +01:00 --dst 2008-03-30 02:00 2008-10-26T03:00"),
            "t.scn:1:30: expected the moment daylight saving starts, like 2008-03-30T02:00");
  EXPECT_EQ(Error("device timezone +01:00 --dst 2008-03-30T02:00"),
            "t.scn:1:46: expected the moment daylight saving ends, like 2008-03-30T02:00");
  EXPECT_EQ(Error("device timezone +01:00 --dst 2008-03-30T25:00 2008-10-26T03:00"),
            "t.scn:1:41: no such time: 25:00");
  EXPECT_EQ(Error("device timezone +01:00 --dst 2008-02-29T02:00 2008-10-26T03:00"),
            "t.scn:1:30: daylight saving cannot change on 29 February: not every year has one");
  EXPECT_EQ(Error("device timezone +01:00 --dst 2008-03-30T02:00 2009-03-30T02:00"),
            "t.scn:1:47: daylight saving must end at another date and time than it starts");
  EXPECT_EQ(Error("boot 5\ndevice timezone +01:00"),
            "t.scn:2:1: device timezone must come before boot and before any event");
  EXPECT_EQ(Error("start dorvane2\ndevice timezone +01:00"),
            "t.scn:2:1: device timezone must come before boot and before any event");
  EXPECT_EQ(Error("clock set 2008-06-01"), "t.scn:1:21: expected a time like 09:30 or 09:30:15");
  EXPECT_EQ(Error("clock set 2008-06-01 24:00"), "t.scn:1:22: no such time: 24:00");
  EXPECT_EQ(Error("clock set 2008-13-01 12:00"), "t.scn:1:11: no such date: 2008-13-01");
}

TEST(ScenarioParse, NotificationKeyAndVolumeVerbs) {
  for (const char* line :
       {"notification add x.exe Hi",
        "notification add \"\\Windows\\x.exe\" \"Wake up\" --at 2008-06-01 09:00",
        "expect notifications 2", "key press 0x41 --injected", "key up 65 --injected",
        "device volume 0x80004000"})
    EXPECT_TRUE(std::holds_alternative<verb::Model>(One(line))) << line;
  EXPECT_EQ(Error("notification add \"\" Hi"),
            "t.scn:1:18: expected an application, not an empty text");
  EXPECT_EQ(Error("notification add x.exe Hi at"),
            "t.scn:1:27: expected --at or the end of the line");
  EXPECT_EQ(Error("notification add x.exe Hi --at 2008-06-01"),
            "t.scn:1:42: expected a time like 09:30 after the date");
  EXPECT_EQ(Error("notification add x.exe Hi --at 2008-06-31 09:00"),
            "t.scn:1:32: no such date: 2008-06-31");
  EXPECT_EQ(Error("expect notifications many"), "t.scn:1:22: expected a number, not 'many'");
  EXPECT_EQ(Error("key press 0x41 --injectd"),
            "t.scn:1:16: expected --injected or the end of the line");
  EXPECT_EQ(Error("device volume loud"), "t.scn:1:15: expected a number, not 'loud'");
}
