// `dorvane2-sim swarm`: plays random days, checks the promises after every step, and cuts each
// day that breaks one down to the fewest events that still break it, written as an ordinary
// scenario that `dorvane2-sim run` replays failing the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "device/scenario/promises.h"
#include "device/swarm/generator.h"

namespace swarm {

// What one day did to the promises.
struct Outcome {
  std::vector<device::BrokenPromise> broken;  // the first break of each watched promise
  int stepFailures = 0;                       // steps that could not be done (a verb's own failure)
  bool deviceFailed = false;
  bool parseError = false;
};

// Plays `text` on a fresh device with the promises watched; `promises` empty: all of them.
// With `stopAtBreak` the day ends at the first break, which is all that shrinking asks.
Outcome PlayDay(const std::string& text, const std::vector<std::string>& promises,
                bool stopAtBreak = false);

// Delta debugging: drops events, then setup lines, then shortens waits and drops options, for
// as long as `stillBreaks` holds. `plays` counts the days played.
Day Shrink(const Day& day, const std::function<bool(const Day&)>& stillBreaks, int* plays);

struct SwarmOptions {
  uint64_t days = 1000;
  uint64_t seed = 1;
  unsigned jobs = 0;  // 0: one per core
  std::string out = "swarm-failures";
  std::vector<std::string> promises;  // empty: all
  std::string writeDays;              // not empty: every day played is written there
  bool progress = false;              // a progress line on the terminal
  DayShape shape;
  // Days shrunk per promise and per job; later breaks of the same promise are only counted.
  int shrinkPerPromise = 2;
};

// The scenario of day `seed`, as --write-days writes it.
std::string SeedDayText(uint64_t seed, const std::vector<std::string>& promises,
                        const DayShape& shape = {});

// 0: no promise broke; 1: one did; 2: the output folder cannot be written.
int RunSwarm(const SwarmOptions& options, std::ostream& out, std::ostream& err);

}  // namespace swarm
