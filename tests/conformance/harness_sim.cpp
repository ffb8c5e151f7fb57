// The conformance cases on the simulated device: each runs as the main thread of a program on
// a fresh device, and the device runs until nothing is left to do.
#include "conformance.h"
#include "platform/sim/device.h"

namespace conformance {

bool OnSimulatedDevice() {
  return true;
}

void RunOnPlatform(void (*body)()) {
  sim::Device dev;
  dev.files().AddFile(u"\\Windows\\conformance.exe");
  dev.files().AddFile(kPeerImage);
  dev.RegisterProgram(u"conformance-peer.exe",
                      [](const std::u16string&, int) { return PeerMain(); });
  dev.RegisterProgram(u"conformance.exe", [body](const std::u16string&, int) {
    body();
    return 0;
  });
  sim::Process* p = dev.Launch(u"\\Windows\\conformance.exe", u"", SW_SHOW);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
  EXPECT_EQ(dev.FindProcess(u"conformance.exe"), nullptr) << "the case never returned";
}

}  // namespace conformance
