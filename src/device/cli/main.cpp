// dorvane2-sim: plays scenarios (or verbs typed one at a time) on the simulated device.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/runner/runner.h"
#include "device/scenario/promises.h"
#include "device/scenario/scenario.h"
#include "device/swarm/swarm.h"
#include "platform/sim/host_files.h"
#include "platform/sim/regfile.h"

namespace {

// The command line, described once: the parser takes its options from these rows, and the
// usage lines and --help are written from the same rows, so they cannot fall behind.
struct OptionRow {
  const char* names;  // CLI11 names: "-q,--quiet"
  const char* value;  // what follows it ("DIR"), or nullptr for a flag
  const char* help;   // lines separated by '\n'
};

constexpr OptionRow kRunOptions[] = {
    {"--state", "DIR",
     "keep the device in DIR: loaded before the run, saved after it\n"
     "  DIR/registry.reg   the registry (.reg text, \"Windows Registry Editor 5.00\")\n"
     "  DIR/fs/...         the device's files, backslashes as folders\n"
     "  DIR/clock          the device clock, e.g. \"2008-06-01 07:00:12\"\n"
     "  DIR/notifications.reg  the notification database (.reg text)\n"
     "a later run boots afresh at the stored clock; without --state nothing is kept;\n"
     "the four are saved together (a killed or failed save keeps the state before\n"
     "it, and the next run tidies up and says so); one run at a time per DIR"},
    {"-q,--quiet", nullptr, "print only failures and the summary, not the trace"},
    {"--stats", nullptr,
     "after the summary, per program: how often its threads woke from a wait, how\n"
     "often its window timers fired, and what it holds open at the end: registry keys,\n"
     "files, handles, telephony lines (\"stats\" lines)"},
    {"--phone", nullptr,
     "the device is a phone from the start: the phone application starts with it, as\n"
     "it does when a scenario uses any phone verb (for shell, which cannot look ahead)"},
    {"--timeline", "HTML",
     "also write the run as a timeline page: one self-contained HTML file with lanes\n"
     "for the display, lock, slide screen, power, calls, messages, daemon timers,\n"
     "programs and failed expectations (docs/timeline.md)"},
};

constexpr OptionRow kSwarmOptions[] = {
    {"--days", "N", "days to play (1000)"},
    {"--seed", "S", "day i is drawn from seed S+i (1): the same seed, the same day"},
    {"--jobs", "J", "processes playing days at once (the cores)"},
    {"--out", "DIR", "where shrunk days go (swarm-failures)"},
    {"--promise", "NAME...", "watch only these promises; all by default"},
    {"--write-days", "DIR", "every day played, as DIR/day-SEED.scn"},
    {"--shrink", "N", "days shrunk per promise and job (2); the rest are counted"},
};

std::string LongName(const OptionRow& row) {
  std::string_view names = row.names;
  return std::string(names.substr(names.rfind(',') + 1));
}

std::string Brackets(std::span<const OptionRow> rows) {
  std::string out;
  for (const OptionRow& row : rows)
    out += " [" + LongName(row) + (row.value ? " " + std::string(row.value) : "") + "]";
  return out;
}

std::string Usage() {
  const std::string options = Brackets(kRunOptions);
  const std::string swarm = Brackets(kSwarmOptions);
  const size_t cut = swarm.find(" [--promise");  // its options do not fit on one line
  return "usage: dorvane2-sim" + options + " run FILE\n" + "       dorvane2-sim" + options +
         " shell\n" + "       dorvane2-sim swarm" + swarm.substr(0, cut) + "\n" +
         "                          " + swarm.substr(cut + 1) + "\n" +
         "       dorvane2-sim --help\n";
}

// One option, its help in a column of its own.
void OptionHelp(std::string& out, const OptionRow& row, std::string_view indent) {
  const std::string head =
      std::string(indent) + LongName(row) + (row.value ? " " + std::string(row.value) : "");
  const std::string pad(indent.size() + 15, ' ');
  std::string_view help = row.help;
  for (bool first = true; !help.empty(); first = false) {
    const size_t nl = help.find('\n');
    const std::string line(help.substr(0, nl));
    help = nl == std::string_view::npos ? std::string_view() : help.substr(nl + 1);
    if (!first)
      out += pad + line + "\n";
    else if (head.size() + 1 < pad.size())
      out += head + std::string(pad.size() - head.size(), ' ') + line + "\n";
    else
      out += head + "\n" + pad + line + "\n";
  }
}

// The verb families, wrapped under the name of their table; a family too long for a line is
// broken after one of its '|'.
std::string VerbHelp() {
  constexpr size_t kWidth = 96;
  std::string out;
  for (const std::string& line : device::VerbFamilies()) {
    const size_t colon = line.find(':');
    std::string row = "  " + line.substr(0, colon + 1);
    auto add = [&](std::string_view piece, bool glued) {
      if (row.size() + (glued ? 0 : 1) + piece.size() > kWidth) {
        out += row + "\n";
        row = "    ";
      } else if (!glued) {
        row += ' ';
      }
      row += piece;
    };
    std::string_view rest = std::string_view(line).substr(colon + 2);
    while (!rest.empty()) {
      const size_t comma = rest.find(", ");
      std::string_view item = comma == std::string_view::npos ? rest : rest.substr(0, comma + 1);
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 2);
      for (bool first = true; !item.empty(); first = false) {
        const size_t bar = item.size() > kWidth / 2 ? item.find('|', kWidth / 3) : item.npos;
        add(item.substr(0, bar == item.npos ? item.size() : bar + 1), !first);
        item = bar == item.npos ? std::string_view() : item.substr(bar + 1);
      }
    }
    out += row + "\n";
  }
  return out;
}

std::string Help() {
  std::string out = Usage() + R"(
Runs the dorvane2 lock daemon on a simulated, deterministic phone.

Commands
  run FILE     play the scenario FILE on a fresh device; every bad line is reported (up
               to 20) before anything is played
  shell        read verbs from standard input, one line at a time; a bad line prints its
               error and the shell goes on (exit status 2); the summary comes at the end
               of input
  swarm        play random days and check the daemon's promises after every step; a day
               that breaks one is shrunk to the fewest events that still break it and
               written as DIR/PROMISE-SEED.scn, a scenario that `run` replays failing;
               exit 0 when no promise broke, 1 when one did, 2 for bad options
)";
  for (const OptionRow& row : kSwarmOptions) OptionHelp(out, row, "               ");
  out += "\nOptions of run and shell (before or after the command)\n";
  for (const OptionRow& row : kRunOptions) OptionHelp(out, row, "  ");
  OptionHelp(out, {"-h,--help", nullptr, "this text"}, "  ");
  out += R"(
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

Verbs, one per line (# starts a comment; quote words holding blanks), by family;
docs/scenarios.md describes each with its words
)";
  return out + VerbHelp();
}

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
  CLI::Option* stateOpt = nullptr;
  CLI::Option* timelineOpt = nullptr;
  for (const OptionRow& row : kRunOptions) {
    const std::string name = LongName(row);
    if (name == "--state") stateOpt = app.add_option(row.names, state);
    if (name == "--timeline") timelineOpt = app.add_option(row.names, cl.options.timeline);
    if (name == "--quiet") app.add_flag(row.names, cl.options.quiet);
    if (name == "--stats") app.add_flag(row.names, cl.options.stats);
    if (name == "--phone") app.add_flag(row.names, cl.options.phone);
  }
  auto* run = app.add_subcommand("run")->fallthrough();
  run->add_option("FILE", cl.file);
  auto* shell = app.add_subcommand("shell")->fallthrough();
  auto* swarmCmd = app.add_subcommand("swarm");
  swarmCmd->add_flag("-h,--help", cl.help);  // its options are its own, so it takes this too
  for (const OptionRow& row : kSwarmOptions) {
    const std::string name = LongName(row);
    if (name == "--days")
      swarmCmd->add_option(row.names, cl.swarm.days)
          ->check(CLI::Range(uint64_t{1}, uint64_t{1} << 40));
    if (name == "--seed") swarmCmd->add_option(row.names, cl.swarm.seed);
    if (name == "--jobs")
      swarmCmd->add_option(row.names, cl.swarm.jobs)->check(CLI::Range(1u, 256u));
    if (name == "--out") swarmCmd->add_option(row.names, cl.swarm.out);
    if (name == "--promise") swarmCmd->add_option(row.names, cl.swarm.promises)->expected(1, -1);
    if (name == "--write-days") swarmCmd->add_option(row.names, cl.swarm.writeDays);
    if (name == "--shrink")
      swarmCmd->add_option(row.names, cl.swarm.shrinkPerPromise)->check(CLI::NonNegativeNumber);
  }
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
    std::string message = e.what();
    // "The following argument was not expected: --quite": name what was most likely meant.
    const size_t colon = message.rfind(": ");
    if (colon != std::string::npos) {
      std::vector<std::string> names{"run", "shell", "swarm", "--help"};
      for (const OptionRow& row : kRunOptions) names.push_back(LongName(row));
      for (const OptionRow& row : kSwarmOptions) names.push_back(LongName(row));
      const std::vector<std::string_view> views(names.begin(), names.end());
      if (auto near = device::Nearest(message.substr(colon + 2), views))
        message += "; did you mean '" + std::string(*near) + "'?";
    }
    return message;
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
    std::cerr << "dorvane2-sim: " << *error << '\n' << Usage();
    return device::kExitBroken;
  }
  if (cl.help) {
    std::cout << Help();
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
