// What every expectation and model verb is checked with: the device and the one cursor of the
// ordered expectations, the verdict, forward and `no-` searches over the trace, and the names
// and registry data the verbs share.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/scenario/scenario.h"
#include "platform/sim/device.h"

namespace device {
class PromiseMonitor;
}

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

// What a step is played or checked against.
struct ExpectContext {
  sim::Device& dev;
  std::u16string daemonPath;
  size_t& cursor;  // trace index just after the previous ordered match (one for all verbs)
  bool daemonStarted = false;                // a `start dorvane2` was played
  const PromiseMonitor* promises = nullptr;  // the run's, when it watches them
};

struct Verdict {
  bool held = true;
  std::string reason;  // why not; may hold several lines
};

Verdict Fail(std::string reason);

// Whether a message event goes to the class and carries the message and parameters `m` names;
// an @CLASS parameter matches any handle of that class's windows when the event happened.
bool CarriesMessage(const verb::Message& m, const sim::TraceEvent& e,
                    const sim::WindowManager& windows);

using EventMatch = std::function<bool(const sim::TraceEvent&)>;
// Ordered expectations: the first event from the cursor on that `match` accepts, moving the
// cursor past it; on failure `what` is named with the events `related` accepts (near misses).
Verdict FindForward(ExpectContext& ctx, const EventMatch& match, const EventMatch& related,
                    const std::string& what);
// `no-` forms: no event from the cursor to now matches; the cursor stays.
Verdict FindNone(const ExpectContext& ctx, const EventMatch& match, const std::string& what);

bool IsExpectation(const Action& action);
// Checks an expectation against the device as it is now; moves the cursor on a match.
Verdict CheckExpectation(const Action& action, ExpectContext& ctx);

}  // namespace device::detail
