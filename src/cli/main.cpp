// dorvane2-sim: plays scenarios (or verbs typed one at a time) on the simulated device.
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/sim/host_files.h"
#include "platform/sim/regfile.h"
#include "runner/runner.h"

namespace {

constexpr const char* kUsage =
    "usage: dorvane2-sim [--state DIR] [--quiet] [--stats] [--timeline HTML] run FILE\n"
    "       dorvane2-sim [--state DIR] [--quiet] [--timeline HTML] shell\n"
    "       dorvane2-sim --help\n";

constexpr const char* kHelp = R"(Runs the dorvane2 lock daemon on a simulated, deterministic phone.

Commands
  run FILE     play the scenario FILE on a fresh device
  shell        read verbs from standard input, one line at a time; a bad line prints its
               error and the shell goes on; the summary comes at the end of input

Options (before or after the command)
  --state DIR  keep the device in DIR: loaded before the run, saved after it
                 DIR/registry.reg   the registry (.reg text, "Windows Registry Editor 5.00")
                 DIR/fs/...         the device's files, backslashes as folders
                 DIR/clock          the device clock, e.g. "2008-06-01 07:00:12"
               a later run boots afresh at the stored clock; without --state nothing is kept;
               the three are saved together (a killed or failed save keeps the state before
               it, and the next run tidies up and says so); one run at a time per DIR
  --quiet      print only failures and the summary, not the trace
  --timeline HTML
               also write the run as a timeline page: one self-contained HTML file with
               lanes for the display, lock, slide screen, power, calls, messages, daemon
               timers, programs and failed expectations (docs/timeline.md)
  --stats      after the summary, per program: how often its threads woke from a wait and
               how often its window timers fired, in all and by timer id ("stats" lines)
  --help       this text

Output
  The trace, one line per event, starting with the device time HH:MM:SS.mmm (docs/trace.md);
  each failure as FILE:LINE: expectation failed: LINE, a reason and the trace before it;
  then the summary line "N passed, M failed".

Exit status
  0  every expectation held
  1  an expectation or a step failed, or the device failed (a thread that never blocks)
  2  the command line, the scenario (FILE:LINE:COLUMN: message) or the state is wrong;
     nothing is played and nothing is saved

Verbs (one per line; # starts a comment; quote words holding blanks; docs/scenarios.md)
  clock 2008-06-01 07:00:00          device time at tick 0 (before boot and any event)
  boot TICK                          the run starts TICK ms after boot (before any event)
  file add PATH | file delete PATH   create an empty file / remove a file
  install PATH                       the daemon's executable, with vurl.exe beside it
  reg set KEY NAME dword N | binary HEX | sz TEXT
  reg delete KEY [NAME]              a value, or the whole key
  start dorvane2 [ARGS...]           start the daemon (again: a second process)
  start PROGRAM [ARGS...]            by executable name: beside the daemon, else \Windows
  kill PROGRAM | foreground PROGRAM
  wait DURATION | settle             250ms, 3s, 2m, 1h; settle: until nothing is due in 60 s
  user unlock | user ok              slide the slide screen open / press OK on a message box
  post CLASS MSG [WPARAM [LPARAM]]   @CLASS as a parameter: that class's window handle
  power on|idle|suspend|unattended|password|resuming
                                     a power manager transition
  power state NAME FLAGS             any transition
  power ac on|off | power battery N   a power-info change
  expect posted CLASS MSG [W [L]]    in order, * for any value
  expect no-post CLASS MSG [W [L]]   since the previous match
  expect launched PROGRAM [ARGS...]  in order with expect posted
  expect no-launch PROGRAM
  expect reg KEY NAME dword N | binary HEX | sz TEXT
  expect no-reg KEY [NAME]
  expect log TEXT | expect no-log TEXT         the debug log beside the daemon
  expect window CLASS visible|hidden|foreground|absent
  expect running PROGRAM | expect not-running PROGRAM
)";

struct CommandLine {
  std::string command;  // "run" or "shell"
  std::string file;
  device::RunOptions options;
  bool help = false;
  std::string error;
};

// Reads one argument into the command line; false (and the error) when it is wrong.
bool TakeArgument(CommandLine& cl, int argc, char** argv, int& i) {
  std::string_view arg = argv[i];
  if (arg == "--help" || arg == "-h") {
    cl.help = true;
  } else if (arg == "--stats") {
    cl.options.stats = true;
  } else if (arg == "--quiet" || arg == "-q") {
    cl.options.quiet = true;
  } else if (arg == "--state" || arg.starts_with("--state=")) {
    if (arg == "--state" && i + 1 >= argc) return cl.error = "--state needs a folder", false;
    cl.options.stateDir = arg == "--state" ? argv[++i] : std::string(arg.substr(8));
    // Empty would silently mean "keep nothing", the opposite of what was asked.
    if (cl.options.stateDir.empty()) return cl.error = "--state needs a folder, not \"\"", false;
  } else if (arg == "--timeline") {
    if (i + 1 >= argc) return cl.error = "--timeline needs a file name", false;
    cl.options.timeline = argv[++i];
  } else if (arg.starts_with("--timeline=")) {
    cl.options.timeline = std::string(arg.substr(11));
    if (cl.options.timeline.empty()) return cl.error = "--timeline needs a file name", false;
  } else if (arg.size() > 1 && arg[0] == '-') {
    return cl.error = "unknown option '" + std::string(arg) + "'", false;
  } else if (cl.command.empty()) {
    if (arg != "run" && arg != "shell")
      return cl.error = "unknown command '" + std::string(arg) + "'", false;
    cl.command = arg;
  } else if (cl.command == "run" && cl.file.empty()) {
    cl.file = arg;
  } else {
    return cl.error = "unexpected argument '" + std::string(arg) + "'", false;
  }
  return true;
}

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine cl;
  for (int i = 1; i < argc; ++i)
    if (!TakeArgument(cl, argc, argv, i)) return cl;
  if (cl.help) return cl;
  if (cl.command.empty()) cl.error = "missing command";
  if (cl.command == "run" && cl.file.empty()) cl.error = "run needs a scenario FILE";
  return cl;
}

bool ReadScenarioFile(const std::string& path, std::string* text, std::string* error) {
  if (sim::HostEntryAt(path) == sim::HostEntry::File) return sim::ReadHostFile(path, text, error);
  const bool missing = sim::HostEntryAt(path) == sim::HostEntry::Missing;
  *error = "cannot read " + path + (missing ? ": no such file" : ": not a file");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine cl = ParseCommandLine(argc, argv);
  if (!cl.error.empty()) {
    std::cerr << "dorvane2-sim: " << cl.error << '\n' << kUsage;
    return device::kExitBroken;
  }
  if (cl.help) {
    std::cout << kUsage << '\n' << kHelp;
    return device::kExitPassed;
  }
  if (cl.command == "shell") return device::RunShell(std::cin, cl.options, std::cout, std::cerr);
  std::string text, error;
  if (!ReadScenarioFile(cl.file, &text, &error)) {
    std::cerr << "dorvane2-sim: " << error << '\n';
    return device::kExitBroken;
  }
  return device::RunScenarioText(text, cl.file, cl.options, std::cout, std::cerr);
}
