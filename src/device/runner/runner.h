// The scenario runner: plays parsed scenario steps on a fresh simulated device, prints the
// device trace as it happens and checks expectations. `dorvane2-sim` is a thin command line
// over this; tests call RunScenario and get the exit status and the printed text back, so they
// need no files or processes.
#pragma once

#include <functional>
#include <iosfwd>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/scenario/promises.h"
#include "device/scenario/scenario.h"
#include "device/timeline/timeline.h"
#include "platform/sim/device.h"
#include "platform/sim/host_files.h"

namespace device {

// Exit statuses of a run.
constexpr int kExitPassed = 0;  // every expectation held
constexpr int kExitFailed = 1;  // an expectation or a step failed, or the device did
constexpr int kExitBroken = 2;  // the scenario, the command line or the state is wrong

struct RunOptions {
  bool quiet = false;    // print only failures and the summary, not the trace
  bool stats = false;    // after the summary, wake-ups and timer firings per program
  std::string stateDir;  // empty: a fresh device, nothing left behind
  std::string timeline;  // not empty: the run's timeline page is written there at the end
  // The device is a phone from the start: the phone application starts with it, as it does
  // when a scenario uses any phone verb.
  bool phone = false;
  // Called after InstallPrograms and before the state is loaded: tests register programs or
  // tune the device here.
  std::function<void(sim::Device&)> prepare;
};

struct RunResult {
  int status = kExitPassed;
  std::string output;  // everything printed, errors included, in order
};

// Plays steps one at a time on a device it owns (only one device may exist at a time).
class Runner {
 public:
  // `out` gets the trace, failure reports and the summary; `err` errors that stop a run.
  Runner(std::string fileName, RunOptions options, std::ostream& out, std::ostream& err);
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Locks and loads the state folder, if any, and starts printing the trace. False (the reason
  // printed) means exit status 2.
  bool Open();
  // Plays one step and runs the device until nothing is runnable. False when the device
  // failed (reported): the run must end.
  bool Play(const Step& step);
  // Saves the state folder, prints the summary and returns the exit status.
  int Finish();

  int passed() const { return passed_; }
  int failed() const { return failed_; }
  // Steps that could not be done (a verb's own failure, not an expectation's).
  int stepFailures() const { return stepFailures_; }
  bool deviceFailed() const { return deviceFailed_; }
  const PromiseMonitor& promises() const { return promises_; }
  sim::Device& device() { return *dev_; }
  // The scenario uses the phone: its application starts before the first event.
  void WantPhone() { phoneWanted_ = true; }
  bool PhoneStarted() const { return phoneStarted_; }
  // The line of the scenario's last expectation: once it is played, no expectation reads the
  // trace after its previous match any more, matched or not.
  void LastExpectationAt(int line) { lastExpectationLine_ = line; }

 private:
  bool PlayStep(const Step& step);
  // Plays a verb that is not an expectation; the reason when it could not be done.
  std::optional<std::string> Act(const Action& action);
  std::optional<std::string> Start(const verb::Start& v);
  std::optional<std::string> Foreground(const verb::Foreground& v);
  std::optional<std::string> UserUnlock();
  std::optional<std::string> UserOk();
  std::optional<std::string> Post(const verb::Post& v);
  bool RunDevice(const Action& action);
  void StartPrinting();
  void ReportFailure(const Step& step, std::string_view what, const std::string& reason);
  std::string WhyNoWindow(const std::string& cls) const;
  void ForgetUnneededTrace();

  std::string fileName_;
  RunOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  std::unique_ptr<sim::Device> dev_;
  std::u16string daemonPath_;
  bool installed_ = false;
  size_t cursor_ = 0;  // trace index just after the previous posted/launched match
  int lastExpectationLine_ = std::numeric_limits<int>::max();
  int line_ = 0;  // of the step played last
  int passed_ = 0;
  int failed_ = 0;
  int stepFailures_ = 0;
  bool deviceFailed_ = false;
  PromiseMonitor promises_;
  bool printing_ = false;
  bool daemonStarted_ = false;
  std::vector<std::pair<TimelineFailure, size_t>> failures_;  // for the timeline page
  sim::HostFolderLock stateLock_;  // held from Open to the end of the run
  bool phoneWanted_ = false;
  bool phoneStarted_ = false;
};

// Flushes `out`; false, with the reason on `err`, when it did not take everything written to it
// (standard output on a full disk): a report that is not whole ends the run with status 2.
bool OutputWritten(std::ostream& out, std::ostream& err);

// Checks the whole text, then plays it step by step.
int RunScenarioText(std::string_view text, std::string_view fileName, const RunOptions& options,
                    std::ostream& out, std::ostream& err);
// The same, with everything printed collected into the result.
RunResult RunScenario(std::string_view text, std::string_view fileName = "test.scn",
                      const RunOptions& options = {});

// Reads verbs from `in` one line at a time; a bad line prints its error and the shell goes on,
// and the exit status is 2 at the end.
int RunShell(std::istream& in, const RunOptions& options, std::ostream& out, std::ostream& err);

}  // namespace device
