// The scenario runner seen from outside: scenario text in, exit status and printed text out.
// The programs here are inert or registered by the test, so nothing depends on the daemon.
#include "device/runner/runner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel.h"
#include "platform/sim/regfile.h"
#include "platform/user.h"
#include "platform/wstr.h"

using device::RunOptions;
using device::RunResult;

namespace {

constexpr char16_t kTestKey[] = u"HKEY_CURRENT_USER\\Software\\Test";

void SetDword(const char16_t* name, DWORD v) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                             static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  sim::Device::Current().registry().SetValue(kTestKey, name, REG_DWORD, bytes);
}

// A text value stored without its terminating NUL, as some programs write them.
void SetBareSz(const char16_t* name, std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  sim::Device::Current().registry().SetValue(kTestKey, name, REG_SZ, bytes);
}

std::u16string ModulePath() {
  WCHAR buf[MAX_PATH];
  GetModuleFileNameW(0, buf, MAX_PATH);
  return std::u16string(platform::WView(buf));
}

void Pump() {
  MSG m;
  while (GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
}

// "echo": on WM_USER+1 records whether wParam is the window of class "notes".
LRESULT EchoProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_USER + 1) SetDword(u"IsNotes", wp != 0 && wp == FindWindowW(u"notes", nullptr));
  return DefWindowProcW(h, msg, wp, lp);
}

HWND MakeWindow(const char16_t* cls, WNDPROC proc, bool show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, cls, cls, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  if (show) ShowWindow(h, SW_SHOW);
  return h;
}

// Appends its command line as a line of Dorvane2.log in its own folder, as the daemon logs.
int Logger(const std::u16string& cmdLine, int) {
  std::u16string path = ModulePath();
  path = path.substr(0, path.rfind(u'\\')) + u"\\Dorvane2.log";
  auto& files = sim::Device::Current().files();
  std::string bytes = files.ReadAll(path).value_or("\xFF\xFE");
  for (char16_t c : cmdLine + u"\r\n") {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  files.AddFile(path, bytes);
  return 0;
}

// The programs every test may start, besides the inert ones.
void RegisterTestPrograms(sim::Device& dev) {
  dev.RegisterProgram(u"logger.exe", &Logger);
  dev.RegisterProgram(u"where.exe", [](const std::u16string&, int) {
    SetBareSz(u"Where", ModulePath());
    return 0;
  });
  dev.RegisterProgram(u"spinner.exe", [](const std::u16string&, int) {
    for (;;) Sleep(0);
    return 0;
  });
  dev.RegisterProgram(u"sleeper.exe", [](const std::u16string&, int) {
    Sleep(5000);
    SetDword(u"Slept", 1);
    return 0;
  });
  dev.RegisterProgram(u"clockreader.exe", [](const std::u16string&, int) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    SetDword(u"Hour", st.wHour);
    SetDword(u"Minute", st.wMinute);
    return 0;
  });
  dev.RegisterProgram(u"boxer.exe", [](const std::u16string&, int) {
    SetDword(u"Box", MessageBoxW(0, u"Sure?", u"Boxer", MB_OKCANCEL | MB_SETFOREGROUND));
    return 0;
  });
  dev.RegisterProgram(u"echo.exe", [](const std::u16string&, int) {
    MakeWindow(u"echo", &EchoProc, true);
    Pump();
    return 0;
  });
  dev.RegisterProgram(u"ghost.exe", [](const std::u16string&, int) {
    MakeWindow(u"ghost", &DefWindowProcW, false);
    Pump();
    return 0;
  });
  // Stands in for the slide screen so `user unlock` is seen without the real stand-in.
  dev.RegisterProgram(u"vurl.exe", [](const std::u16string&, int) {
    MakeWindow(u"Vurl", &DefWindowProcW, true);
    Pump();
    return 0;
  });
}

RunResult Play(std::string_view text, RunOptions options = {}) {
  options.prepare = [extra = options.prepare](sim::Device& dev) {
    RegisterTestPrograms(dev);
    if (extra) extra(dev);
  };
  return device::RunScenario(text, "t.scn", options);
}

bool Has(const RunResult& r, std::string_view text) {
  return r.output.find(text) != std::string::npos;
}

// The last line printed.
std::string Summary(const RunResult& r) {
  std::string out = r.output;
  if (!out.empty() && out.back() == '\n') out.pop_back();
  return out.substr(out.rfind('\n') + 1);
}

#define EXPECT_OUTPUT_HAS(r, text) \
  EXPECT_TRUE(Has(r, text)) << "missing: " << (text) << "\n" << (r).output

}  // namespace

// --- Exit statuses and what is printed -----------------------------------------------------

TEST(RunnerExit, AllHeldIsZeroWithTraceAndSummary) {
  RunResult r = Play("start iexplore.exe\nexpect running iexplore\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_OUTPUT_HAS(r, "00:00:00.000 device launch iexplore.exe\n");
  EXPECT_OUTPUT_HAS(r, "iexplore.exe create-window iexplore\n");
  EXPECT_EQ(Summary(r), "1 passed, 0 failed");
}

TEST(RunnerExit, FailureIsReportedAndTheRunGoesOn) {
  RunResult r = Play(
      "start iexplore\n"
      "expect running nope\n"
      "   expect   not-running  nope   # the line as written\n"
      "expect running iexplore\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(r,
                    "t.scn:2: expectation failed: expect running nope\n  no process of nope.exe");
  EXPECT_OUTPUT_HAS(r, "  last trace lines:\n    00:00:00.000 ");
  EXPECT_EQ(Summary(r), "2 passed, 1 failed");
}

TEST(RunnerExit, QuietPrintsOnlyFailuresAndSummary) {
  RunOptions quiet;
  quiet.quiet = true;
  RunResult r = Play("start iexplore\nexpect running nope\n", quiet);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.rfind("t.scn:2: expectation failed: expect running nope\n", 0), 0u)
      << r.output;
  EXPECT_EQ(Summary(r), "0 passed, 1 failed");
}

TEST(RunnerExit, TypoStopsBeforeAnythingIsPlayed) {
  // Every bad line is reported, each with what was most likely meant; nothing is played.
  RunResult r = Play(
      "start iexplore\nexpect running iexplore\nexpct running x\nusr unlok\nuser unlok\n"
      "wait 2s\nclock 2008-01-01 00:00:00\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output,
            "t.scn:3:1: unknown verb 'expct'; did you mean 'expect'?\n"
            "t.scn:4:1: unknown verb 'usr'; did you mean 'user'?\n"
            "t.scn:5:6: unknown verb 'user unlok'; did you mean 'unlock'? expected unlock, ok, "
            "answer, reject, dial or hangup after user\n"
            "t.scn:7:1: clock must come before boot and before any event\n");
  std::string many;
  for (int i = 0; i < 25; ++i) many += "wiat 1s\n";
  r = Play(many);
  EXPECT_TRUE(
      r.output.ends_with("t.scn:20:1: unknown verb 'wiat'; did you mean 'wait'?\n"
                         "t.scn: stopped after 20 errors\n"))
      << r.output;
  r = Play("start iexplore\nwait 3q\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "t.scn:2:6: expected a duration like 250ms, 3s, 2m or 1h\n");
  // Values out of the range the lines before fix: a SIM of the default size, or one made
  // larger; the skinned window, which the phone has from its start or never.
  r = Play("start iexplore\nsim entry 251 1 A\n");
  EXPECT_EQ(r.output, "t.scn:2:11: the SIM has positions 1 to 250, not 251\n");
  r = Play("sim size 300\nsim delete 301\n");
  EXPECT_EQ(r.output, "t.scn:2:12: the SIM has positions 1 to 300, not 301\n");
  r = Play("phone skin on\nstart iexplore\nphone skin on\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "t.scn:3:1: phone skin on must come before any event\n");
}

// A stream that takes nothing, as standard output on a full disk does.
struct FullDisk : std::streambuf {
  int overflow(int) override { return traits_type::eof(); }
};

// The trace or the summary lost on the way out is a broken run, not a passed one: the run, the
// quiet run (only the summary is printed) and the shell.
TEST(RunnerExit, OutputThatCannotBeWrittenEndsWithTwo) {
  FullDisk full;
  std::ostream out(&full);
  for (bool quiet : {false, true}) {
    std::ostringstream err;
    RunOptions o;
    o.quiet = quiet;
    EXPECT_EQ(device::RunScenarioText("start iexplore\n", "t.scn", o, out, err), 2);
    EXPECT_EQ(err.str(),
              "dorvane2-sim: cannot write the output: the trace or the summary is incomplete\n");
  }
  std::istringstream in("start iexplore\n");
  std::ostringstream err;
  EXPECT_EQ(device::RunShell(in, {}, out, err), 2);
  EXPECT_NE(err.str().find("cannot write the output"), std::string::npos) << err.str();
}

TEST(RunnerExit, PowerEventsPlayAndChangeThePowerStatus) {
  RunResult r = Play("start iexplore\n\npower ac on\npower battery 42\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("power info ac=1 battery=42"), std::string::npos) << r.output;
}

TEST(RunnerExit, DeviceFailureEndsTheRunWithOne) {
  RunOptions o;
  o.prepare = [](sim::Device& dev) { dev.scheduler().stepBudget = dev.scheduler().steps + 5000; };
  RunResult r = Play("start spinner\nexpect running nope\n", o);
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(r, "t.scn:1: the device failed: start spinner\n  a simulated thread kept");
  EXPECT_FALSE(Has(r, "expect running nope")) << "played after the failure:\n" << r.output;
  EXPECT_EQ(Summary(r), "0 passed, 1 failed");
}

// --- Order of message and launch expectations ----------------------------------------------

TEST(RunnerOrder, PostedMatchesInOrder) {
  const char* setup = "start iexplore\npost iexplore 100\npost iexplore 200 7 -1\n";
  RunResult r =
      Play(std::string(setup) + "expect posted iexplore 100\nexpect posted iexplore 200\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(std::string(setup) + "expect posted iexplore 200\nexpect posted iexplore 100\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(r,
                    "t.scn:5: expectation failed: expect posted iexplore 100\n"
                    "  no such message reached iexplore after the previous match at 00:00:00.000");
  // One post matches one expectation only.
  r = Play(std::string(setup) + "expect posted iexplore 100\nexpect posted iexplore 100\n");
  EXPECT_EQ(Summary(r), "1 passed, 1 failed");
}

TEST(RunnerOrder, ParametersClassesAndWildcards) {
  RunResult r = Play(
      "start iexplore\n"
      "post iexplore 0x802B 7 -1\n"
      "post iexplore 32811 8 0\n"
      "post iexplore 1 2 3\n"
      "expect posted IEXPLORE 32811 7 0xFFFFFFFF\n"
      "expect posted iexplore 0x802B * 0\n"
      "expect posted * * 2 *\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play("start iexplore\npost iexplore 5 1\nexpect posted iexplore 5 2\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(
      r, "  similar events in that stretch:\n    00:00:00.000 device post -> iexplore 5");
}

TEST(RunnerOrder, NoPostLooksFromThePreviousMatch) {
  const char* setup = "start iexplore\npost iexplore 100\npost iexplore 200\n";
  RunResult r =
      Play(std::string(setup) + "expect no-post iexplore 300\nexpect no-post notes 100\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(std::string(setup) + "expect no-post iexplore 200\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(
      r, "  it reached iexplore since the start of the run:\n    00:00:00.000 device post");
  // The match itself and what came before it are not looked at again.
  r = Play(std::string(setup) +
           "expect posted iexplore 200\nexpect no-post iexplore 100\nexpect no-post iexplore 200\n"
           "post iexplore 100\nexpect no-post iexplore 100\n");
  EXPECT_EQ(Summary(r), "3 passed, 1 failed");
  EXPECT_OUTPUT_HAS(r, "t.scn:8: expectation failed");
}

TEST(RunnerOrder, LaunchedSharesTheCursorWithPosted) {
  const char* setup = "start iexplore -a\npost iexplore 1\nstart iexplore.exe -b  c\nstart notes\n";
  RunResult r = Play(std::string(setup) +
                     "expect launched iexplore -a\nexpect posted iexplore 1\n"
                     "expect launched IEXPLORE.EXE -b c\nexpect launched notes\n"
                     "expect no-launch iexplore\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(std::string(setup) + "expect posted iexplore 1\nexpect launched iexplore -a\n");
  EXPECT_EQ(Summary(r), "1 passed, 1 failed");
  r = Play(std::string(setup) + "expect launched iexplore -b\nexpect no-launch notes\n");
  EXPECT_EQ(Summary(r), "0 passed, 2 failed");
  EXPECT_OUTPUT_HAS(r, "notes.exe was started since the start of the run:");
}

// --- Verbs that act on the device -------------------------------------------------------------

TEST(RunnerSteps, PostResolvesWindowOfClass) {
  RunResult r = Play(
      "start notes\nstart echo\npost echo 0x401 @notes\nexpect reg HKCU\\Software\\Test IsNotes "
      "dword 1\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(
      "start echo\npost echo 0x401 @nothing\npost nowhere 5\nexpect no-reg HKCU\\Software\\Test\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(r,
                    "t.scn:2: step failed: post echo 0x401 @nothing\n"
                    "  there is no top-level window of class nothing for @nothing\n");
  EXPECT_OUTPUT_HAS(r, "t.scn:3: step failed: post nowhere 5\n");
  EXPECT_EQ(Summary(r), "1 passed, 2 failed");
}

// Edits of items that are not there, and SIM positions the card does not have, fail the step
// with the reason and the run goes on.
TEST(RunnerSteps, PimEditsAndSimPositionsFailClearly) {
  RunResult r = Play(
      "appointment add Lunch 2008-01-01 12:00 2008-01-01 13:00\n"
      "appointment edit Dinner --location Home\n"
      "appointment edit Lunch --end 2008-01-01 11:00\n"
      "task edit \"Pay rent\" --due none\n"
      "sim size 300\nsim size 250\nsim entry 260 1 A\n"
      "sim size 1000\nsim entry 1000 1 A\nsim size 999\n"
      "sim absent\nsim entry 1 1 A\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(r,
                    "t.scn:2: step failed: appointment edit Dinner --location Home\n"
                    "  there is no appointment \"Dinner\"\n");
  EXPECT_OUTPUT_HAS(r, "  the appointment would end before it starts\n");
  EXPECT_OUTPUT_HAS(r, "  there is no task \"Pay rent\"\n");
  EXPECT_OUTPUT_HAS(r, "  the SIM has positions 1 to 250\n");
  EXPECT_OUTPUT_HAS(r,
                    "  SIM position 1000 is in use; delete it before making the phonebook "
                    "smaller\n");
  EXPECT_OUTPUT_HAS(r,
                    "t.scn:12: step failed: sim entry 1 1 A\n"
                    "  the phone has no SIM card (sim absent)\n");
  EXPECT_EQ(Summary(r), "0 passed, 6 failed");
}

TEST(RunnerSteps, UserActsOnMessageBoxAndSlideScreen) {
  RunResult r = Play(
      "start boxer\nexpect window Dialog foreground\nuser ok\n"
      "expect window Dialog absent\nexpect reg HKCU\\Software\\Test Box dword 1\n"
      "start vurl\nuser unlock\nexpect posted Vurl 0x7F00 1 0\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play("user ok\nuser unlock\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_OUTPUT_HAS(r, "t.scn:1: step failed: user ok\n");
  EXPECT_OUTPUT_HAS(r, "t.scn:2: step failed: user unlock\n");
}

TEST(RunnerSteps, StartLooksBesideTheDaemonThenInWindows) {
  const char* check = "expect reg HKCU\\Software\\Test Where sz ";
  RunResult r = Play(std::string("install \\Apps\\dorvane2.exe\nfile add \\Apps\\where.exe\n"
                                 "start where\n") +
                     check + "\\Apps\\where.exe\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(std::string("start where\n") + check + "\\Windows\\where.exe\n");
  EXPECT_EQ(r.status, 0) << r.output;
  // Started twice is two processes; kill ends both and takes their windows.
  r = Play(
      "start iexplore\nstart iexplore\nexpect launched iexplore\nexpect launched iexplore\n"
      "kill iexplore\nexpect not-running iexplore\nexpect window iexplore absent\n"
      "kill iexplore\n");
  EXPECT_EQ(r.status, 0) << r.output;
}

TEST(RunnerSteps, ForegroundBringsTheProgramsWindowToFront) {
  RunResult r = Play(
      "start iexplore\nstart notes\nexpect window notes foreground\n"
      "foreground iexplore\nexpect window iexplore foreground\nforeground nothing\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Summary(r), "2 passed, 1 failed");
  EXPECT_OUTPUT_HAS(r, "t.scn:6: step failed: foreground nothing\n");
}

TEST(RunnerSteps, OnlyWaitAndSettleMoveTheClock) {
  RunResult r = Play(
      "boot 2000\nstart sleeper\nexpect no-reg HKCU\\Software\\Test Slept\n"
      "wait 1500ms\nstart iexplore\nsettle\nexpect reg HKCU\\Software\\Test Slept dword 1\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_OUTPUT_HAS(r, "00:00:02.000 device launch sleeper.exe\n");
  EXPECT_OUTPUT_HAS(r, "00:00:03.500 device launch iexplore.exe\n");
  EXPECT_OUTPUT_HAS(r, "00:00:07.000 sleeper.exe reg set HKEY_CURRENT_USER\\Software\\Test");
}

// --- Expectations on the device's state -----------------------------------------------------

TEST(RunnerExpect, RegistryValuesKeysAndTexts) {
  RunResult r = Play(
      "reg set HKCU\\Software\\A Text sz \"h\xC3\xA9llo w\"\n"
      "reg set HKLM\\Software\\A Bytes binary 0a0B\n"
      "reg set HKEY_CURRENT_USER\\Software\\A Num dword -1\n"
      "start where\n"
      "expect reg HKCU\\Software\\A Text sz \"h\xC3\xA9llo w\"\n"
      "expect reg HKCU\\Software\\Test Where sz \\Windows\\where.exe\n"  // stored without NUL
      "expect reg HKLM\\Software\\A Bytes binary 0a0b\n"
      "expect reg hkcu\\Software\\A Num dword 0xFFFFFFFF\n"
      "reg delete HKCU\\Software\\A Num\n"
      "expect no-reg HKCU\\Software\\A Num\n"
      "reg delete HKLM\\Software\\A\n"
      "expect no-reg HKLM\\Software\\A\n"
      "reg delete HKLM\\Software\\A\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(
      "reg set HKCU\\Software\\A Text sz hello\n"
      "expect reg HKCU\\Software\\A Text dword 1\n"
      "expect reg HKCU\\Software\\A Text sz hell\n"
      "expect reg HKCU\\Software\\A Other sz hello\n"
      "expect reg HKCU\\Software\\B Text sz hello\n"
      "expect no-reg HKCU\\Software\\A\n");
  EXPECT_EQ(Summary(r), "0 passed, 5 failed");
  EXPECT_OUTPUT_HAS(r, "  the value is sz \"hello\"\n");
  EXPECT_OUTPUT_HAS(r, "  the key has no value \"Other\"\n");
  EXPECT_OUTPUT_HAS(r, "  the key does not exist\n");
}

TEST(RunnerExpect, DebugLogBesideTheDaemon) {
  RunResult r = Play(
      "expect no-log Tick\n"
      "file add \"\\Program Files\\Vurl\\logger.exe\"\n"
      "start logger Dorvane2 v2.21\nstart logger Boot Tick 20000\n"
      "expect log \"Tick 200\"\nexpect log v2.21\nexpect no-log \"v2.21 Boot\"\n");
  EXPECT_EQ(r.status, 0) << r.output;
  // Started from \Windows, its log is not the daemon's.
  r = Play("expect log Tick\nstart logger Boot Tick\nexpect no-log Boot\n");
  EXPECT_EQ(Summary(r), "1 passed, 1 failed");
  EXPECT_OUTPUT_HAS(r, "  there is no debug log at \\Program Files\\Vurl\\Dorvane2.log\n");
  // The daemon's folder is where it was installed.
  r = Play("install \\Apps\\dorvane2.exe\nstart logger Boot\nexpect log Boot\n");
  EXPECT_EQ(r.status, 1);
  r = Play(
      "install \\Apps\\dorvane2.exe\nfile add \\Apps\\logger.exe\nstart logger Boot\n"
      "expect log Boot\nexpect no-log Boot\n");
  EXPECT_EQ(Summary(r), "1 passed, 1 failed");
  EXPECT_OUTPUT_HAS(r, "  line 1 of \\Apps\\Dorvane2.log: Boot\n");
}

// A failure over a window that is not there says why when the device can tell: the daemon
// held by its first-start message boxes, or a class no window ever had.
TEST(RunnerExpect, AMissingWindowSaysWhy) {
  RunResult r = Play(
      "start dorvane2\nsettle\npost Dorvane2 32811\nuser ok\nsettle\nuser ok\nsettle\n"
      "expect posted Vurll 32841 1\nexpect window Vurl visible\n");
  EXPECT_TRUE(Has(r,
                  "t.scn:3: step failed: post Dorvane2 32811\n"
                  "  there is no top-level window of class Dorvane2\n"
                  "  the daemon has no window yet: one of its message boxes is waiting for "
                  "\"user ok\" (a first start shows them before the window is made)\n"))
      << r.output;
  EXPECT_TRUE(Has(r,
                  "  no such message reached Vurll since the start of the run\n"
                  "  no window of class \"Vurll\" ever existed on this device (did you mean "
                  "\"Vurl\"?)\n"))
      << r.output;
  EXPECT_EQ(Summary(r), "1 passed, 2 failed");
}

TEST(RunnerExpect, WindowStatesAndProcesses) {
  RunResult r = Play(
      "start ghost\nstart iexplore\n"
      "expect window ghost hidden\nexpect window iexplore visible\n"
      "expect window iexplore foreground\nexpect window notes absent\n"
      "expect running GHOST.EXE\nexpect not-running notes\n");
  EXPECT_EQ(r.status, 0) << r.output;
  r = Play(
      "start ghost\n"
      "expect window ghost visible\nexpect window ghost absent\nexpect window ghost foreground\n"
      "expect window notes hidden\nexpect not-running ghost\n");
  EXPECT_EQ(Summary(r), "0 passed, 5 failed");
  EXPECT_OUTPUT_HAS(r, "  it is hidden\n");
  EXPECT_OUTPUT_HAS(r, "  there is one: ghost \"ghost\" (hidden)\n");
  EXPECT_OUTPUT_HAS(r, "  there is no top-level window of class notes\n");
}

// --- Long runs ---------------------------------------------------------------------------------

// Plays `text` step by step as `run` does; the most trace events kept at once.
static size_t MostTraceKept(device::Runner& runner, const std::string& text) {
  const sim::Trace& trace = runner.device().trace();
  size_t mostKept = 0;
  device::ForEachStep(text, "t.scn", [&](device::Step&& step) {
    const bool ok = runner.Play(step);
    mostKept = std::max(mostKept, trace.size() - trace.FirstKept());
    return ok;
  });
  return mostKept;
}

// A long run keeps only the trace that its readers may still read, and they read what they
// would if it kept it all: the time of a match long past, the near misses after it, the lines
// before a failure, the exit of a process. A run that writes its timeline keeps everything.
TEST(RunnerLongRun, TraceKeepsOnlyWhatIsStillRead) {
  std::string text = "start iexplore\n";
  for (int i = 0; i < 3000; ++i)
    text += "post iexplore 100 " + std::to_string(i) + "\nreg set HKCU\\Software\\Test R dword " +
            std::to_string(i) + "\nexpect posted iexplore 100 " + std::to_string(i) + "\nwait 1s\n";
  for (int i = 0; i < 700; ++i) text += "post iexplore 5 " + std::to_string(i) + "\nwait 100ms\n";
  text += "kill iexplore\nexpect exit iexplore 1\nexpect posted iexplore 6\n";
  for (bool timeline : {false, true}) {
    std::ostringstream out;
    RunOptions options;
    options.quiet = true;
    if (timeline)
      options.timeline = ::testing::TempDir() + "dv_long_run_" + std::to_string(getpid());
    device::Runner runner("t.scn", options, out, out);
    ASSERT_TRUE(runner.Open());
    const sim::Trace& trace = runner.device().trace();
    const size_t mostKept = MostTraceKept(runner, text);
    RunResult r{runner.Finish(), out.str()};
    std::remove(options.timeline.c_str());
    EXPECT_GT(trace.size(), 10000u);
    if (timeline) {
      EXPECT_EQ(trace.FirstKept(), 0u);
      continue;
    }
    EXPECT_LE(mostKept, 3 * 1024u);
    EXPECT_EQ(Summary(r), "3001 passed, 1 failed");
    EXPECT_OUTPUT_HAS(
        r,
        "t.scn:13404: expectation failed: expect posted iexplore 6\n"
        "  no such message reached iexplore after the previous match at 00:49:59.000\n"
        "  similar events in that stretch:\n"
        "    00:51:09.500 device post -> iexplore 5 (0x5) wParam=695");
    EXPECT_OUTPUT_HAS(
        r,
        "  last trace lines:\n"
        "    00:51:09.700 device post -> iexplore 5 (0x5) wParam=697 (0x2B9) lParam=0\n");
    EXPECT_OUTPUT_HAS(r, "    00:51:10.000 iexplore.exe exit code=1\n3001 passed");
  }
}

// An expectation that never matches holds the trace from its previous match only until the
// scenario's last expectation has been played; what follows is let go of as it comes.
TEST(RunnerLongRun, NothingIsHeldForAnExpectationNoLongerToCome) {
  std::string text = "start iexplore\nexpect posted iexplore 999\n";
  for (int i = 0; i < 5000; ++i) text += "post iexplore 100 " + std::to_string(i) + "\nwait 1s\n";
  std::ostringstream out;
  RunOptions options;
  options.quiet = true;
  device::Runner runner("t.scn", options, out, out);
  ASSERT_TRUE(runner.Open());
  runner.LastExpectationAt(2);
  const size_t mostKept = MostTraceKept(runner, text);
  EXPECT_EQ(Summary(RunResult{runner.Finish(), out.str()}), "0 passed, 1 failed");
  EXPECT_GT(runner.device().trace().size(), 10000u);
  EXPECT_LE(mostKept, 3 * 1024u);
}

// A scenario too long to keep its parsed steps is parsed again as it plays, with the same
// outcome: every step played once, in order.
TEST(RunnerLongRun, AHugeScenarioPlaysAsAShortOne) {
  std::string text = "start iexplore\n";
  for (int i = 0; i < 25000; ++i) text += "post iexplore 100 " + std::to_string(i) + "\n";
  text += "expect posted iexplore 100 24999\nexpect no-post iexplore 100 0\n";
  RunOptions options;
  options.quiet = true;
  RunResult r = Play(text, options);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Summary(r), "2 passed, 0 failed");
}

// --- The state folder --------------------------------------------------------------------------

class RunnerState : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("dorvane2-runner-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  RunResult PlayHere(std::string_view text) {
    RunOptions o;
    o.quiet = true;
    o.stateDir = dir_.string();
    return Play(text, o);
  }
  std::string Read(const std::string& name) {
    std::string bytes;
    sim::ReadHostFile((dir_ / name).string(), &bytes, nullptr);
    return bytes;
  }

  std::filesystem::path dir_;
};

TEST_F(RunnerState, DeviceContinuesInALaterRun) {
  RunResult r = PlayHere(
      "clock 2008-06-01 07:00:00\nreg set HKCU\\Software\\A N dword 5\n"
      "file add \"\\Program Files\\Vurl\\logger.exe\"\nstart logger kept\nwait 1m\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Read("clock"), "2008-06-01 07:01:00\n");
  EXPECT_TRUE(std::filesystem::exists(dir_ / "fs" / "Program Files" / "Vurl" / "Dorvane2.log"));
  EXPECT_NE(Read("registry.reg").find(std::string("\"\0N\0\"\0=\0d\0w\0o\0r\0d\0", 18)),
            std::string::npos);

  r = PlayHere(
      "expect reg HKCU\\Software\\A N dword 5\nexpect log kept\nstart clockreader\n"
      "expect reg HKCU\\Software\\Test Hour dword 7\nexpect reg HKCU\\Software\\Test Minute dword "
      "1\n"
      "wait 2m\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Read("clock"), "2008-06-01 07:03:00\n");
}

TEST_F(RunnerState, DamagedOrLinkedPartsAreRefusedAndLeftAlone) {
  ASSERT_EQ(PlayHere("reg set HKCU\\Software\\A N dword 5\n").status, 0);
  // A part that is a link would be read through it, but a save would replace the link.
  const std::string good = Read("registry.reg");
  const std::filesystem::path elsewhere = dir_.string() + "-elsewhere.reg";
  std::filesystem::rename(dir_ / "registry.reg", elsewhere);
  std::filesystem::create_symlink(elsewhere, dir_ / "registry.reg");
  RunResult r = PlayHere("reg set HKCU\\Software\\B N dword 1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, (dir_ / "registry.reg").string() +
                          ": a symbolic link; the state folder keeps its own file there (put it "
                          "in place of the link)\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "registry.reg"));
  EXPECT_EQ(Read("registry.reg"), good);
  std::filesystem::remove(dir_ / "registry.reg");
  std::filesystem::rename(elsewhere, dir_ / "registry.reg");

  std::string damaged =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n"
      "\"x\"=dword:zz\r\n";
  ASSERT_TRUE(sim::WriteHostFileAtomic((dir_ / "registry.reg").string(), damaged, nullptr));
  std::string clock = Read("clock");

  r = PlayHere("reg set HKCU\\Software\\B N dword 1\nwait 1h\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("registry.reg:4: "), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("passed"), std::string::npos) << "played anyway:\n" << r.output;
  EXPECT_EQ(Read("registry.reg"), damaged);
  EXPECT_EQ(Read("clock"), clock);

  std::filesystem::remove(dir_ / "registry.reg");
  ASSERT_TRUE(sim::WriteHostFileAtomic((dir_ / "clock").string(), "2008-02-30 07:00:00", nullptr));
  r = PlayHere("wait 1h\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("clock:1: "), std::string::npos) << r.output;
  EXPECT_EQ(Read("clock"), "2008-02-30 07:00:00");

  std::filesystem::remove(dir_ / "clock");
  const std::string notes =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Notifications\\0x00B00004]\r\n\"Type\"=dword:00000002\r\n";
  ASSERT_TRUE(sim::WriteHostFileAtomic((dir_ / "notifications.reg").string(), notes, nullptr));
  r = PlayHere("wait 1h\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, (dir_ / "notifications.reg").string() +
                          ": notification 0x00B00004: \"Owner\" is missing or not of its type\n");
  EXPECT_EQ(Read("notifications.reg"), notes);
}

// --- The shell ---------------------------------------------------------------------------------

// The same lines typed into the shell or read from a file give the same run, calls included:
// with --phone the shell's phone application starts with the device, as a file with phone
// verbs has it; without it the shell says where the phone starts late.
TEST(RunnerShell, PlaysAScenarioAsRunDoes) {
  std::string text, error;
  ASSERT_TRUE(
      sim::ReadHostFile(std::string(DV_SOURCE_DIR) + "/examples/day-with-calls.scn", &text, &error))
      << error;
  const device::RunResult run = device::RunScenario(text, "stdin");
  ASSERT_EQ(run.status, 0) << run.output;

  RunOptions phone;
  phone.phone = true;
  std::istringstream in(text);
  std::ostringstream out, err;
  EXPECT_EQ(device::RunShell(in, phone, out, err), 0);
  EXPECT_EQ(out.str(), run.output);
  EXPECT_EQ(err.str(), "");

  std::istringstream again(text);
  std::ostringstream late, lateErr;
  device::RunShell(again, RunOptions{}, late, lateErr);
  EXPECT_NE(late.str(), run.output);
  EXPECT_TRUE(lateErr.str().starts_with("stdin:16: the device becomes a phone only now"))
      << lateErr.str();
}

TEST(RunnerShell, BadLinesAreReportedAndTheShellGoesOn) {
  std::istringstream in(
      "start iexplore\n"
      "expct running x\n"
      "power on\n"
      "clock 2008-01-01 00:00:00\n"
      "expect running iexplore\n"
      "expect running nope\n");
  std::ostringstream out;
  RunOptions o;
  o.prepare = RegisterTestPrograms;
  int status = device::RunShell(in, o, out, out);
  std::string text = out.str();
  EXPECT_EQ(status, 2);  // as a file with these lines would be, after playing the good ones
  EXPECT_NE(text.find("stdin:2:1: unknown verb 'expct'; did you mean 'expect'?\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("stdin:4:1: clock must come before boot and before any event\n"),
            std::string::npos);
  EXPECT_NE(text.find("stdin:6: expectation failed: expect running nope\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\n1 passed, 1 failed\n")) << text;
}
