// A simulated phone with the daemon installed, for tests of the daemon's behaviour.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/programs/programs.h"
#include "log/debug_log.h"
#include "platform/sim/device.h"
#include "platform/user.h"
#include "platform/wstr.h"

class DaemonTest : public ::testing::Test {
 protected:
  DaemonTest() {
    device::InstallPrograms(dev);
    device::InstallDaemon(dev, device::kDefaultDaemonPath);
  }

  sim::Process* StartDaemon(const std::u16string& args = u"") {
    sim::Process* p = dev.Launch(device::kDefaultDaemonPath, args, 5);
    EXPECT_TRUE(dev.RunUntilIdle()) << dev.Failure();
    return p;
  }

  std::vector<std::string> Trace(const std::string& needle = "") {
    std::vector<std::string> out;
    for (const auto& e : dev.trace().Events()) {
      if (!sim::Trace::Printed(e.kind)) continue;
      std::string line = sim::Trace::Render(e);
      if (line.find(needle) != std::string::npos) out.push_back(line);
    }
    return out;
  }

  // The daemon's log as text lines (CR LF split, BOM dropped).
  std::vector<std::u16string> LogLines(const std::u16string& file = u"Dorvane2.log") {
    auto bytes = dev.files().ReadAll(u"\\Program Files\\Vurl\\" + file);
    std::vector<std::u16string> lines;
    if (!bytes) return lines;
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes->size(); i += 2)
      text.push_back(static_cast<char16_t>(static_cast<uint8_t>((*bytes)[i]) |
                                           static_cast<uint8_t>((*bytes)[i + 1]) << 8));
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    size_t start = 0;
    for (size_t pos; (pos = text.find(u"\r\n", start)) != std::u16string::npos; start = pos + 2)
      lines.push_back(text.substr(start, pos - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
  }

  // A program beside the daemon whose process runs test code on request: it has its own
  // in-memory settings and writes the debug log beside it, as the daemon does.
  void StartProbe() {
    const std::u16string path = u"\\Program Files\\Vurl\\probe.exe";
    dev.files().AddFile(path);
    dev.RegisterProgram(u"probe.exe", [](const std::u16string&, int) {
      dlog::OpenDebugLog(u"Dorvane2.log");
      MSG msg;
      while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
      dlog::CloseDebugLog();
      return 0;
    });
    probe_ = dev.Launch(path, u"", 5);
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  // False while the job has not finished (it waits in a message box, say); it goes on when
  // the device runs on.
  bool InProbe(std::function<void()> job) { return dev.RunInProcess(probe_, std::move(job)); }

  sim::Device dev;
  sim::Process* probe_ = nullptr;
};
