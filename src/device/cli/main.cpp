// dorvane2-sim: plays scenarios (or verbs typed one at a time) on the simulated device.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#include "device/runner/runner.h"
#include "device/scenario/promises.h"
#include "device/swarm/swarm.h"
#include "platform/sim/host_files.h"
#include "platform/sim/regfile.h"

namespace {

constexpr const char* kUsage =
    "usage: dorvane2-sim [--state DIR] [--quiet] [--stats] [--timeline HTML] run FILE\n"
    "       dorvane2-sim [--state DIR] [--quiet] [--timeline HTML] shell\n"
    "       dorvane2-sim swarm [--days N] [--seed S] [--jobs J] [--out DIR] [--promise NAME...]\n"
    "                          [--write-days DIR]\n"
    "       dorvane2-sim --help\n";

constexpr const char* kHelp = R"(Runs the dorvane2 lock daemon on a simulated, deterministic phone.

Commands
  run FILE     play the scenario FILE on a fresh device
  shell        read verbs from standard input, one line at a time; a bad line prints its
               error and the shell goes on (exit status 2); the summary comes at the end
               of input
  swarm        play random days and check the daemon's promises after every step; a day
               that breaks one is shrunk to the fewest events that still break it and
               written as DIR/PROMISE-SEED.scn, a scenario that `run` replays failing
                 --days N         days to play (1000)
                 --seed S         day i is drawn from seed S+i (1): the same seed, the same day
                 --jobs J         processes playing days at once (the cores)
                 --out DIR        where shrunk days go (swarm-failures)
                 --promise NAME   watch only these promises (repeatable); all by default
                 --write-days DIR every day played, as DIR/day-SEED.scn
                 --shrink N       days shrunk per promise and job (2); the rest are counted
               exit 0 when no promise broke, 1 when one did, 2 for bad options

Options (before or after the command)
  --state DIR  keep the device in DIR: loaded before the run, saved after it
                 DIR/registry.reg   the registry (.reg text, "Windows Registry Editor 5.00")
                 DIR/fs/...         the device's files, backslashes as folders
                 DIR/clock          the device clock, e.g. "2008-06-01 07:00:12"
                 DIR/notifications.reg  the notification database (.reg text)
               a later run boots afresh at the stored clock; without --state nothing is kept;
               the four are saved together (a killed or failed save keeps the state before
               it, and the next run tidies up and says so); one run at a time per DIR
  --quiet      print only failures and the summary, not the trace
  --timeline HTML
               also write the run as a timeline page: one self-contained HTML file with
               lanes for the display, lock, slide screen, power, calls, messages, daemon
               timers, programs and failed expectations (docs/timeline.md)
  --stats      after the summary, per program: how often its threads woke from a wait and
               how often its window timers fired, in all and by timer id, and what it holds
               open at the end: registry keys, files, handles, telephony lines ("stats" lines)
  --help       this text

Output
  The trace, one line per event, starting with the device time HH:MM:SS.mmm (docs/trace.md);
  each failure as FILE:LINE: expectation failed: LINE, a reason and the trace before it;
  then the summary line "N passed, M failed".

Exit status
  0  every expectation held
  1  an expectation or a step failed, or the device failed (a thread that never blocks)
  2  the command line, the scenario (FILE:LINE:COLUMN: message) or the state is wrong:
     nothing is played and nothing is saved; also, after the summary, when the shell
     rejected a line or the state, the timeline or the output could not be written

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
  expect promises [NAME...]          the promises held after every step so far
)";

struct CommandLine {
  std::string command;  // "run", "shell" or "swarm"
  std::string file;
  device::RunOptions options;
  swarm::SwarmOptions swarm;
  bool help = false;
};

// Parses the command line; the message of a bad one, in the words a user needs.
std::optional<std::string> Parse(int argc, char** argv, CommandLine& cl) {
  CLI::App app{"dorvane2-sim"};
  app.set_help_flag();  // the help text is our own
  app.allow_windows_style_options(false);
  app.add_flag("-h,--help", cl.help);
  std::string state;
  auto* stateOpt = app.add_option("--state", state);
  app.add_flag("-q,--quiet", cl.options.quiet);
  app.add_flag("--stats", cl.options.stats);
  auto* timelineOpt = app.add_option("--timeline", cl.options.timeline);
  auto* run = app.add_subcommand("run")->fallthrough();
  run->add_option("FILE", cl.file);
  auto* shell = app.add_subcommand("shell")->fallthrough();
  auto* swarmCmd = app.add_subcommand("swarm");
  swarmCmd->add_option("--days", cl.swarm.days)->check(CLI::Range(uint64_t{1}, uint64_t{1} << 40));
  swarmCmd->add_option("--seed", cl.swarm.seed);
  swarmCmd->add_option("--jobs", cl.swarm.jobs)->check(CLI::Range(1u, 256u));
  swarmCmd->add_option("--out", cl.swarm.out);
  swarmCmd->add_option("--promise", cl.swarm.promises)->expected(1, -1);
  swarmCmd->add_option("--write-days", cl.swarm.writeDays);
  swarmCmd->add_option("--shrink", cl.swarm.shrinkPerPromise)->check(CLI::NonNegativeNumber);
  app.require_subcommand(0, 1);
  // "--state=" would take the next word as its folder; empty would silently mean "keep
  // nothing", the opposite of what was asked.
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--state=") return "--state needs a folder, not \"\"";
    if (arg == "--timeline=") return "--timeline needs a file name";
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return std::string(e.what());
  }
  if (cl.help) return std::nullopt;
  if (run->parsed()) cl.command = "run";
  if (shell->parsed()) cl.command = "shell";
  if (swarmCmd->parsed()) cl.command = "swarm";
  if (stateOpt->count() > 0) {
    // Empty would silently mean "keep nothing", the opposite of what was asked.
    if (state.empty()) return "--state needs a folder, not \"\"";
    cl.options.stateDir = state;
  }
  if (timelineOpt->count() > 0 && cl.options.timeline.empty())
    return "--timeline needs a file name";
  if (cl.command.empty()) return "missing command";
  if (cl.command == "run" && cl.file.empty()) return "run needs a scenario FILE";
  for (const auto& name : cl.swarm.promises)
    if (!device::PromiseMonitor::Known(name)) return "unknown promise '" + name + "'";
  cl.swarm.progress = isatty(STDERR_FILENO) != 0;
  return std::nullopt;
}

bool ReadScenarioFile(const std::string& path, std::string* text, std::string* error) {
  if (sim::HostEntryAt(path) == sim::HostEntry::File) return sim::ReadHostFile(path, text, error);
  const bool missing = sim::HostEntryAt(path) == sim::HostEntry::Missing;
  *error = "cannot read " + path + (missing ? ": no such file" : ": not a file");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine cl;
  if (auto error = Parse(argc, argv, cl)) {
    std::cerr << "dorvane2-sim: " << *error << '\n' << kUsage;
    return device::kExitBroken;
  }
  if (cl.help) {
    std::cout << kUsage << '\n' << kHelp;
    return device::OutputWritten(std::cout, std::cerr) ? device::kExitPassed : device::kExitBroken;
  }
  if (cl.command == "shell") return device::RunShell(std::cin, cl.options, std::cout, std::cerr);
  if (cl.command == "swarm") {
    const int status = swarm::RunSwarm(cl.swarm, std::cout, std::cerr);
    return device::OutputWritten(std::cout, std::cerr) ? status : device::kExitBroken;
  }
  std::string text, error;
  if (!ReadScenarioFile(cl.file, &text, &error)) {
    std::cerr << "dorvane2-sim: " << error << '\n';
    return device::kExitBroken;
  }
  return device::RunScenarioText(text, cl.file, cl.options, std::cout, std::cerr);
}
