// Pieces of the scenario runner shared by its source files: program and path names,
// registry data, the expectation checks and the state folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/scenario.h"
#include "platform/sim/device.h"

namespace device::detail {

// --- Names -----------------------------------------------------------------------------------

std::u16string BaseName(std::u16string_view path);
std::u16string FolderOf(std::u16string_view path);
// The executable name a scenario means by PROGRAM: `dorvane2` is the installed daemon's, a
// name without an extension gets ".exe", a path counts by its last part.
std::u16string ProgramExe(std::string_view program, std::u16string_view daemonPath);
// The daemon's debug log: Dorvane2.log beside its executable.
std::u16string LogPath(std::u16string_view daemonPath);

// --- Registry data ---------------------------------------------------------------------------

// The bytes a `reg set` stores, and their type; text gets its terminating NUL.
std::vector<uint8_t> RegBytes(const RegData& data, DWORD* type);
// "dword 5 (0x5)", "binary 0a0b", "sz \"text\"": for failure reasons.
std::string DescribeValue(const sim::RegValue& value);

// --- Expectations ----------------------------------------------------------------------------

struct ExpectContext {
  sim::Device& dev;
  std::u16string daemonPath;
  size_t& cursor;  // trace index just after the previous posted/launched match
};

struct Verdict {
  bool held = true;
  std::string reason;  // why not; may hold several lines
};

bool IsExpectation(const Action& action);
// Checks an expectation against the device as it is now; moves the cursor on a match.
Verdict CheckExpectation(const Action& action, ExpectContext& ctx);

// --- The state folder ------------------------------------------------------------------------

// Loads DIR/registry.reg, DIR/fs/ and DIR/clock, each when present. False and the reason
// (a damaged file names its line) when one cannot be used; no file is written.
bool LoadState(sim::Device& dev, const std::string& dir, std::string* error);
// Saves the registry, the files and the device's clock as it is now.
bool SaveState(sim::Device& dev, const std::string& dir, std::string* error);

// The wake-ups and timer firings of every program since the device started (`run --stats`).
void PrintStats(const sim::Device& dev, std::ostream& out);

}  // namespace device::detail
