// The state folder of `--state DIR` under crashes, full disks and two runs at once. A hook in
// the host-file layer fails chosen host calls; failing every call from the Nth on is a run
// killed at that point, since nothing after it reaches the disk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "device/runner/runner.h"
#include "platform/kernel.h"
#include "platform/sim/host_files.h"
#include "platform/wstr.h"

namespace {

namespace hostfs = std::filesystem;

// Each run leaves one generation: the registry value, the one file, the clock and the number of
// notifications (each run adds one, due long after) all say N.
std::string Generation(int n) {
  std::string text = n == 1 ? "clock 2008-06-01 07:00:00\n" : "file delete \\Gen\\1\n";
  return text + "reg set HKCU\\Software\\T Gen dword " + std::to_string(n) + "\nfile add \\Gen\\" +
         std::to_string(n) + "\nnotification add gen.exe G --at 2009-01-01 00:00\nwait 1m\n";
}

class StateFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    // In memory when the host has it: the test changes folders thousands of times, and on a
    // busy disk each change can wait for the journal.
    const hostfs::path tmp = hostfs::is_directory("/dev/shm") ? "/dev/shm" : ::testing::TempDir();
    // Named by the process too: two checkouts may run the suite at once.
    base_ = tmp / ("dv_state_" + std::to_string(getpid()) + "_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    hostfs::remove_all(base_);
    hostfs::create_directories(base_);
    dir_ = (base_ / "state").string();
    sim::SetHostFlushing(false);  // the hook still sees every flush
  }
  void TearDown() override {
    sim::SetHostCallHook({});
    sim::SetHostFlushing(true);
    hostfs::remove_all(base_);
  }

  device::RunOptions Options() const {
    device::RunOptions o;
    o.quiet = true;
    o.stateDir = dir_;
    return o;
  }
  device::RunResult Run(const std::string& text) {
    return device::RunScenario(text, "t.scn", Options());
  }

  // What the next run starts from: "gen R files F clock M" (R the registry's generation, F the
  // files under \Gen, M the clock's minute), and what it said it recovered.
  std::string Look(std::string* notes = nullptr) {
    std::ostringstream out, err;
    device::Runner runner("look.scn", Options(), out, err);
    const bool opened = runner.Open();
    if (notes) *notes = err.str();
    if (!opened) return "refused: " + err.str();
    sim::Device& dev = runner.device();
    auto gen = dev.registry().GetValue(u"HKCU\\Software\\T", u"Gen");
    std::string seen = "gen " + (gen ? std::to_string(gen->bytes[0]) : std::string("none"));
    seen += " files";
    for (const auto& name : dev.files().List(u"\\Gen")) seen.append(" ").append(platform::U8(name));
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return seen + " clock " + std::to_string(now.wMinute) + " notes " +
           std::to_string(dev.notifications().Entries().size());
  }

  // Every entry under DIR with its bytes, to tell whether a run touched anything.
  std::string Snapshot() const {
    std::string all;
    for (const auto& e : hostfs::recursive_directory_iterator(dir_)) {
      all += e.path().string() + "\n";
      std::string bytes;
      if (e.is_regular_file()) sim::ReadHostFile(e.path().string(), &bytes, nullptr);
      all += bytes;
    }
    return all;
  }

  hostfs::path base_;
  std::string dir_;
};

const std::string kOld = "gen 1 files 1 clock 1 notes 1";
const std::string kNew = "gen 2 files 2 clock 2 notes 2";

TEST_F(StateFolder, KilledOrFailingAtAnyHostCallLeavesTheOldOrTheNewStateWhole) {
  ASSERT_EQ(Run(Generation(1)).status, 0);
  ASSERT_EQ(Look(), kOld);
  const hostfs::path pristine = base_ / "pristine";
  hostfs::copy(dir_, pristine, hostfs::copy_options::recursive);

  int calls = 0;
  sim::SetHostCallHook([&](std::string_view, const std::string&) { return ++calls, 0; });
  ASSERT_EQ(Run(Generation(2)).status, 0);
  const int total = calls;
  ASSERT_GT(total, 20);

  std::set<std::string> notes;
  for (int stop = 1; stop <= total; ++stop) {
    for (bool killed : {true, false}) {
      SCOPED_TRACE((killed ? "killed at host call " : "host call failing: ") +
                   std::to_string(stop));
      hostfs::remove_all(dir_);
      hostfs::copy(pristine, dir_, hostfs::copy_options::recursive);
      calls = 0;
      // Killed: nothing from this call on reaches the disk. Failing: only this call fails,
      // as when the disk is full, and the run goes on to clean up.
      sim::SetHostCallHook([&](std::string_view, const std::string&) {
        ++calls;
        return calls == stop || (killed && calls > stop) ? (killed ? EIO : ENOSPC) : 0;
      });
      device::RunResult r = Run(Generation(2));
      sim::SetHostCallHook({});
      std::string said;
      const std::string seen = Look(&said);
      if (!said.empty()) notes.insert(said.substr(dir_.size()));
      ASSERT_TRUE(seen == kOld || seen == kNew) << seen << "\n" << r.output;
      if (r.status == 0) {
        EXPECT_EQ(seen, kNew) << "reported saved but the old state is kept";
      }
      if (killed) continue;
      // A failure says what failed and why; whether the run's state is kept, it says too.
      ASSERT_EQ(r.status, 2) << r.output;
      EXPECT_EQ(r.output.find(": Success"), std::string::npos) << r.output;
      EXPECT_NE(r.output.find("No space left on device"), std::string::npos) << r.output;
      const bool kept = r.output.find("the state of this run is kept") != std::string::npos;
      EXPECT_EQ(seen, kept ? kNew : kOld) << r.output;
      EXPECT_EQ(Look(), seen) << "a second look sees something else";
    }
  }
  // Both kinds of recovery were met on the way, and said so.
  EXPECT_EQ(notes, (std::set<std::string>{
                       ": dropped the unfinished save of an interrupted run; the state before it "
                       "is kept\n",
                       ": finished putting in place the state an interrupted run had saved\n"}));
}

TEST_F(StateFolder, AFullDiskKeepsTheOldStateAndNamesTheStep) {
  ASSERT_EQ(Run(Generation(1)).status, 0);
  sim::SetHostCallHook(
      [](std::string_view call, const std::string&) { return call == "write" ? ENOSPC : 0; });
  device::RunResult r = Run(Generation(2));
  sim::SetHostCallHook({});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("cannot save the device state: cannot write " +
                          sim::HostJoin(sim::HostJoin(dir_, ".saving"), "registry.reg") +
                          ": No space left on device\n"),
            std::string::npos)
      << r.output;
  std::string notes;
  EXPECT_EQ(Look(&notes), kOld);
  EXPECT_EQ(notes, "");  // the failed save cleaned up after itself
  EXPECT_EQ(Snapshot().find(".saving"), std::string::npos);
}

TEST_F(StateFolder, ASecondRunOnAFolderInUseStopsAndTouchesNothing) {
  ASSERT_EQ(Run(Generation(1)).status, 0);
  const std::string before = Snapshot();
  {
    sim::HostFolderLock other;  // another run holds the folder
    bool busy = false;
    std::string error;
    ASSERT_TRUE(other.Acquire(dir_, &busy, &error)) << error;
    device::RunResult r = Run(Generation(2));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "the state folder " + dir_ +
                            " is in use by another run of dorvane2-sim; nothing in it was "
                            "touched\n");
    EXPECT_EQ(Snapshot(), before);
  }
  EXPECT_EQ(Run(Generation(2)).status, 0);
  EXPECT_EQ(Look(), kNew);
}

TEST_F(StateFolder, LeftoversOfEarlierSavesAreRecoveredAndTheClockMayStartWithABom) {
  ASSERT_EQ(Run(Generation(1)).status, 0);
  // An earlier version stopped between its two renames of fs: only fs.old and fs.saving.
  hostfs::rename(hostfs::path(dir_) / "fs", hostfs::path(dir_) / "fs.old");
  hostfs::create_directories(hostfs::path(dir_) / "fs.saving" / "Gen" / "9");
  ASSERT_TRUE(sim::WriteHostFile(sim::HostJoin(dir_, "registry.reg.tmp"), "x", false, nullptr));
  ASSERT_TRUE(sim::WriteHostFile(sim::HostJoin(dir_, "clock"),
                                 "\xEF\xBB\xBF"
                                 "2008-06-01 07:01:00\r\n",
                                 false, nullptr));
  std::string notes;
  EXPECT_EQ(Look(&notes), kOld);
  EXPECT_EQ(notes,
            dir_ + ": restored the device's files from fs.old, left by an interrupted save\n");
  EXPECT_EQ(Snapshot().find(".old"), std::string::npos);
  EXPECT_EQ(Snapshot().find(".saving"), std::string::npos);
  EXPECT_EQ(Snapshot().find(".tmp"), std::string::npos);
}

}  // namespace
