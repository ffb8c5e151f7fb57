// Runs test code as programs on a fresh simulated device.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/sim/device.h"
#include "platform/wstr.h"

class SimTest : public ::testing::Test {
 protected:
  // Starts `body` as the main thread of a new program named `exe`.
  sim::Process* Run(const std::u16string& exe, std::function<int()> body) {
    std::u16string path = u"\\Windows\\" + exe;
    dev.files().AddFile(path);
    dev.RegisterProgram(exe, [body](const std::u16string&, int) { return body(); });
    return dev.Launch(path, u"", 5);
  }

  // The rendered trace lines that contain `needle`.
  std::vector<std::string> TraceLines(const std::string& needle = "") {
    std::vector<std::string> out;
    for (const auto& e : dev.trace().Events()) {
      if (!sim::Trace::Printed(e.kind)) continue;
      std::string line = sim::Trace::Render(e);
      if (line.find(needle) != std::string::npos) out.push_back(line);
    }
    return out;
  }

  sim::Device dev;
};
