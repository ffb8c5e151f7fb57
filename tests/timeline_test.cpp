// The timeline page from a trace: which lanes the trace items reach, that program and scenario
// text stays data inside the page, and that the runner reports a page it could not write.
#include "device/timeline/timeline.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "device/runner/runner.h"
#include "platform/sim/regfile.h"

using device::TimelineBuilder;
using device::TimelineLane;
using device::TimelinePage;
using sim::TraceEvent;
using sim::TraceKind;

namespace {

TraceEvent Note(uint64_t t, std::string text, std::string actor = "device") {
  TraceEvent e;
  e.time = t;
  e.kind = TraceKind::Note;
  e.actor = std::move(actor);
  e.text = std::move(text);
  return e;
}

TraceEvent Post(uint64_t t, std::string cls, UINT msg, WPARAM w = 0) {
  TraceEvent e;
  e.time = t;
  e.kind = TraceKind::Post;
  e.actor = "dorvane2.exe";
  e.cls = e.title = std::move(cls);
  e.msg = msg;
  e.wParam = w;
  return e;
}

TraceEvent Timer(uint64_t t, TraceKind kind, UINT id, uint32_t period = 0) {
  TraceEvent e;
  e.time = t;
  e.kind = kind;
  e.actor = "dorvane2.exe";
  e.cls = e.title = "Dorvane2";
  e.msg = id;
  e.value = period;
  return e;
}

const TimelineLane& LaneOf(const TimelinePage& page, const std::string& id) {
  for (const TimelineLane& lane : page.lanes)
    if (lane.id == id) return lane;
  ADD_FAILURE() << "no lane " << id;
  return page.lanes.front();
}

std::string Spans(const TimelineLane& lane) {
  std::string text;
  for (const auto& s : lane.spans)
    text += std::to_string(s.start) + "-" + std::to_string(s.end) + " " + s.label + "\n";
  return text;
}

std::string Marks(const TimelineLane& lane) {
  std::string text;
  for (const auto& m : lane.marks) text += std::to_string(m.time) + " " + m.label + "\n";
  return text;
}

// Calls come from the telephony model's own notes, each call on its row; messaging models'
// notes are read by their words; the daemon's own messages keep the other lanes right beside
// them.
TEST(Timeline, LanesFollowTheTraceAndTheNotesOfOtherModels) {
  TimelineBuilder b;
  b.Add(Note(0, "power transition screenoff 0x00100000"));
  b.Add(Post(500, "Vurl", 32841, 1));
  b.Add(Timer(1000, TraceKind::SetTimer, 1049, 1000));
  b.Add(Note(2000, "call 1 offered"));
  b.Add(Note(2000, "call 1 OFFERING"));
  // A line callback names a handle, not a caller; the daemon's message is a mark, not a call.
  b.Add(Note(2000, "tapi callback msg=2 0x10006 1=0x2 2=0x0 3=0x2", "dorvane2.exe"));
  b.Add(Post(2000, "Dorvane2", 32786, 0));
  b.Add(Note(2100, "call 1 caller +49301234567"));
  b.Add(Note(2500, "display power 1", "dorvane2.exe"));
  b.Add(Note(3000, "call 1 CONNECTED", "cprog.exe"));
  b.Add(Note(3500, "call 2 offered"));  // waiting: a row of its own
  b.Add(Note(3800, "call 2 DISCONNECTED"));
  b.Add(Note(3800, "call 2 IDLE"));
  b.Add(Note(4000, "call 1 ONHOLD"));
  b.Add(Note(4500, "call 1 CONNECTED"));
  b.Add(Note(5000, "call 1 DISCONNECTED"));
  b.Add(Note(5000, "call 1 IDLE"));
  b.Add(Note(5100, "call 3 placed to 5551234"));
  b.Add(Note(5100, "call 3 DIALING"));
  b.Add(Note(5200, "messaging: new SMS in the inbox"));
  b.Add(Post(5300, "Vurl", 32780, 2));
  b.Add(Post(5400, "Vurl", 32780, 2));  // the same count again changes nothing
  b.Add(Note(5500, "power info ac=0 battery=40"));
  b.Add(Timer(5500, TraceKind::KillTimer, 1049));
  b.AddFailure({4200, "day.scn:9", "expect window Vurl hidden", "expectation failed",
                "it is "
                "visible"},
               6);
  TimelinePage page = b.Finish("day.scn", 6000);

  EXPECT_EQ(page.start, 0u);
  EXPECT_EQ(page.end, 6000u);
  EXPECT_EQ(page.lines.size(), 24u);
  EXPECT_EQ(page.lines[1],
            "00:00:00.500 dorvane2.exe post -> Vurl 32841 (0x8049 LockState) wParam=1 (0x1) "
            "lParam=0");
  EXPECT_EQ(Spans(LaneOf(page, "display")),
            "0-2500 display off (screenoff 0x00100000)\n2500-6000 display on\n");
  EXPECT_EQ(Spans(LaneOf(page, "lock")), "500-6000 locked\n");
  const TimelineLane& calls = LaneOf(page, "calls");
  EXPECT_EQ(Spans(calls),
            "2000-2100 call 1 ringing\n"
            "2100-3000 call 1 ringing from +49301234567\n"
            "3500-3800 call 2 ringing\n"
            "3000-4000 call 1 connected from +49301234567\n"
            "4000-4500 call 1 on hold from +49301234567\n"
            "4500-5000 call 1 connected from +49301234567\n"
            "5100-6000 call 3 dialling to 5551234\n");
  EXPECT_EQ(calls.rows, 2);
  EXPECT_EQ(calls.spans[2].row, 1);
  EXPECT_EQ(calls.spans[6].row, 0);  // the rows are free again once the calls ended
  EXPECT_EQ(Marks(calls),
            "2000 call 1 offered\n2000 call message to the daemon (32786)\n"
            "2100 call 1 caller +49301234567\n3000 call 1 connected from +49301234567\n"
            "3500 call 2 offered\n3800 call 2 disconnected\n3800 call 2 ended\n"
            "4000 call 1 on hold from +49301234567\n4500 call 1 connected from +49301234567\n"
            "5000 call 1 disconnected\n5000 call 1 ended\n5100 call 3 placed to 5551234\n");
  EXPECT_EQ(Marks(LaneOf(page, "messages")),
            "5200 messaging: new SMS in the inbox\n5300 SMS 2 (was 0)\n");
  EXPECT_EQ(Spans(LaneOf(page, "messages")), "5300-6000 unread: SMS 2\n");
  EXPECT_EQ(Spans(LaneOf(page, "power")), "5500-6000 on battery, 40%\n");
  // The timer fired every second until it was killed, the last time as it was killed.
  EXPECT_EQ(Marks(LaneOf(page, "timers")),
            "1000 timer 1049 set, 1000 ms\n2000 timer 1049 fired\n3000 timer 1049 fired\n"
            "4000 timer 1049 fired\n5000 timer 1049 fired\n5500 timer 1049 killed\n");
  const TimelineLane& failures = LaneOf(page, "failures");
  ASSERT_EQ(failures.marks.size(), 1u);
  EXPECT_EQ(failures.marks[0].label,
            "day.scn:9: expectation failed: expect window Vurl hidden\nit is visible");
  EXPECT_EQ(failures.marks[0].events, (std::vector<uint32_t>{0, 1, 2, 3, 4, 5}));

  // A fast timer left armed all day draws its first fires and counts the rest in its bar.
  b.Add(Timer(0, TraceKind::SetTimer, 1032, 1));
  page = b.Finish("day.scn", 86400000);
  EXPECT_EQ(LaneOf(page, "timers").marks.size(), 101u);
  EXPECT_EQ(Spans(LaneOf(page, "timers")),
            "0-86400000 timer 1032 armed, 1 ms, fired 86400000 times\n");
}

// Window titles, registry text and note text come from programs and scenarios: whatever they
// hold, the page keeps one script and no markup of theirs, and bytes that are not UTF-8 do not
// break it.
TEST(Timeline, TextFromTheTraceStaysData) {
  TimelineBuilder b;
  TraceEvent e = Post(0, "</script><img src=x onerror=alert(1)>", 16);
  b.Add(e);
  b.Add(Note(10, "bad \xff\xfe bytes, a line\xe2\x80\xa8separator and \"quotes\" \\ <!--"));
  // A text that comes back day after day is written once; each line names it.
  b.Add(Note(86400000, "rings daily"));
  b.Add(Note(2 * 86400000ull, "rings daily"));
  TimelinePage page = b.Finish("<b>&day</b>.scn", 2 * 86400000ull);
  std::string html = device::TimelineHtml(page);
  const size_t once = html.find("\"device rings daily\"");
  EXPECT_NE(once, std::string::npos);
  EXPECT_EQ(html.find("\"device rings daily\"", once + 1), std::string::npos);

  EXPECT_EQ(html.find("<img"), std::string::npos);
  EXPECT_EQ(html.find("<!--"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  size_t scriptEnd = html.find("</script>");
  EXPECT_EQ(html.find("</script>", scriptEnd + 1), std::string::npos);
  EXPECT_EQ(html.rfind("</script>\n</body>\n</html>\n"), scriptEnd);
  EXPECT_NE(html.find("\\u003c/script\\u003e\\u003cimg"), std::string::npos);
  EXPECT_NE(html.find("bad \\ufffd\\ufffd bytes, a line\\u2028separator and \\\"quotes\\\" \\\\"),
            std::string::npos);
  EXPECT_NE(html.find("<title>&lt;b&gt;&amp;day&lt;/b&gt;.scn - dorvane2 timeline</title>"),
            std::string::npos);
  EXPECT_NE(html.find("content=\"default-src 'none'"), std::string::npos);
}

// The runner writes the page with the failure at its time, and a page it cannot write is a
// broken run, not a passed one.
TEST(Timeline, RunnerWritesThePageOrSaysWhyNot) {
  std::string dir = ::testing::TempDir() + "dv_timeline_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  constexpr char kScenario[] = "start iexplore\nwait 2s\nexpect not-running iexplore\n";

  device::RunOptions options;
  options.quiet = true;
  options.timeline = dir + "/run.html";
  device::RunResult r = device::RunScenario(kScenario, "t.scn", options);
  EXPECT_EQ(r.status, device::kExitFailed);
  std::string html, error;
  ASSERT_TRUE(sim::ReadHostFile(options.timeline, &html, &error)) << error;
  EXPECT_NE(html.find("\"t.scn:3: expectation failed: expect not-running iexplore"),
            std::string::npos);
  EXPECT_NE(html.find("[2000,\"fail\""), std::string::npos);
  EXPECT_NE(html.find("\"passed\":0,\"failed\":1"), std::string::npos);

  // Through a link the page replaces the link's target and the link stays; a FIFO (as a
  // terminal or /dev/stdout) is written as it is, never replaced by a file.
  std::filesystem::create_symlink("run.html", dir + "/link.html");
  options.timeline = dir + "/link.html";
  EXPECT_EQ(device::RunScenario("wait 1s\n", "t.scn", options).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(options.timeline));
  ASSERT_TRUE(sim::ReadHostFile(dir + "/run.html", &html, &error)) << error;
  EXPECT_NE(html.find("\"passed\":0,\"failed\":0"), std::string::npos);
  options.timeline = dir + "/fifo";
  ASSERT_EQ(::mkfifo(options.timeline.c_str(), 0600), 0);
  const int reader = ::open(options.timeline.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ::fcntl(reader, F_SETPIPE_SZ, 1 << 20);  // the whole page fits: the writer never waits
  EXPECT_EQ(device::RunScenario("wait 1s\n", "t.scn", options).status, 0);
  EXPECT_TRUE(std::filesystem::is_fifo(options.timeline));
  char head[16] = {};
  EXPECT_EQ(::read(reader, head, 15), 15);
  EXPECT_STREQ(head, "<!DOCTYPE html>");
  ::close(reader);

  options.timeline = dir + "/missing/run.html";
  r = device::RunScenario("wait 1s\n", "t.scn", options);
  EXPECT_EQ(r.status, device::kExitBroken);
  EXPECT_NE(r.output.find("cannot write the timeline: cannot create " + dir + "/missing/run.html"),
            std::string::npos)
      << r.output;
  std::filesystem::remove_all(dir);
}

}  // namespace
