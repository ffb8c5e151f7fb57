// `expect promises`: the daemon's promises, watched after every step of the run, held so far.
#include <string>
#include <vector>

#include "device/scenario/expect.h"
#include "device/scenario/promises.h"
#include "device/scenario/verb_reader.h"
#include "platform/sim/trace.h"

namespace device::parse {
namespace {

using detail::ExpectContext;
using detail::Fail;
using detail::Verdict;
using Role = ModelStep::Role;

struct ExpectPromises : ModelStep {
  std::vector<std::string> names;  // empty: every promise
  explicit ExpectPromises(std::vector<std::string> n) : names(std::move(n)) {}
  Role role() const override { return Role::Expectation; }
  Verdict Check(ExpectContext& ctx) const override {
    if (!ctx.promises) return Fail("this run does not watch the promises");
    const BrokenPromise* b = ctx.promises->FirstBroken(names);
    if (!b) return {};
    std::string why = "promise " + b->name + " broken after line " + std::to_string(b->line) +
                      " (" + b->source + ") at " + sim::Trace::FormatTime(b->time) + ": " +
                      b->reason;
    if (!b->traceLine.empty()) why += "\nnear the trace line: " + b->traceLine;
    return Fail(why);
  }
};

Action ParseExpectPromises(Cursor& c) {
  std::vector<std::string> names;
  while (!c.AtEnd()) {
    int col = c.Column();
    std::string name = c.Word("");
    if (!PromiseMonitor::Known(name)) {
      auto known = PromiseMonitor::Names();
      throw Failure{col, "unknown promise '" + Excerpt(name) + "'; expected " +
                             JoinOr({known.data(), known.size()})};
    }
    names.push_back(std::move(name));
  }
  return Make<ExpectPromises>(std::move(names));
}

const VerbEntry kPromiseVerbs[] = {
    {"expect", "promises", &ParseExpectPromises},
};

}  // namespace

std::span<const VerbEntry> PromiseVerbs() {
  return kPromiseVerbs;
}

}  // namespace device::parse
