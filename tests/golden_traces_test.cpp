// Every example and test scenario is played in this one process: each must pass, and its whole
// output must equal the trace recorded in tests/golden/GROUP/NAME.trace byte for byte (the
// output of `dorvane2-sim run`, recorded by tools/golden). A trace that differs is written to
// the working folder (the build folder under CTest) to diff against the recorded one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/runner/runner.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Paths relative to the source folder, as tools/golden passes them.
std::vector<std::string> AllScenarios() {
  std::vector<std::string> all;
  for (const char* group : {"examples", "tests/scenarios"}) {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(fs::path(DV_SOURCE_DIR) / group))
      if (e.path().extension() == ".scn")
        files.push_back(std::string(group) + "/" + e.path().filename().string());
    std::sort(files.begin(), files.end());
    all.insert(all.end(), files.begin(), files.end());
  }
  return all;
}

class Traces : public testing::TestWithParam<std::string> {};

TEST_P(Traces, PassesAndPrintsTheRecordedTrace) {
  const fs::path source(DV_SOURCE_DIR);
  const std::string& rel = GetParam();
  const fs::path file = source / rel;
  const std::string group = fs::path(rel).parent_path().filename().string();
  const std::string name = file.stem().string();
  const fs::path golden = source / "tests/golden" / group / (name + ".trace");

  device::RunResult r = device::RunScenario(Slurp(file), rel);
  EXPECT_EQ(r.status, device::kExitPassed) << rel << " did not pass:\n" << r.output;
  ASSERT_TRUE(fs::exists(golden)) << "no recorded trace " << golden
                                  << "; record it with tools/golden";
  if (r.output != Slurp(golden)) {
    const fs::path got = fs::current_path() / (group + "-" + name + ".trace");
    std::ofstream(got, std::ios::binary) << r.output;
    ADD_FAILURE() << rel << ": trace differs from " << golden << "\n  got: " << got
                  << " (diff them; tools/golden records a deliberate change)";
  }
}

INSTANTIATE_TEST_SUITE_P(All, Traces, testing::ValuesIn(AllScenarios()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string id = info.param.substr(0, info.param.find('/')) + "_" +
                                            fs::path(info.param).stem().string();
                           std::replace_if(
                               id.begin(), id.end(), [](char c) { return !std::isalnum(c); }, '_');
                           return id;
                         });

}  // namespace
