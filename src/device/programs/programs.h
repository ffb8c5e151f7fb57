// The programs of the simulated phone: the daemon itself and the stand-ins for the programs
// it works with.
#pragma once

#include <string>

#include "platform/sim/device.h"

namespace device {

constexpr char16_t kDefaultDaemonPath[] = u"\\Program Files\\Vurl\\dorvane2.exe";

// Registers every program the device can launch by executable name, and starts the shell.
void InstallPrograms(sim::Device& dev);

// Puts the daemon's executable at `daemonPath` and the slide screen beside it.
void InstallDaemon(sim::Device& dev, const std::u16string& daemonPath);

// A private message the runner posts to a stand-in to act as the user on it; outside the
// daemon's protocol numbers.
constexpr unsigned kUserActionMessage = 0x7F00;
enum UserAction : unsigned {
  kUserUnlock = 1,
  kUserAnswer,
  kUserReject,
  kUserDial,  // the number is already in "DialNumber"
  kUserHangup,
};

}  // namespace device
