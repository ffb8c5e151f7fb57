// The phone application stand-in ("cprog.exe"): the phone window, the incoming-call window and
// its soft keys, and what answering, rejecting and ending a call do.
#pragma once

#include <string>

#include "platform/sim/device.h"

namespace device {

constexpr char16_t kPhoneExe[] = u"cprog.exe";

int PhoneMain(const std::u16string& cmdLine, int show);
// Makes the device a phone: its notification name in the registry and the application running.
void StartPhone(sim::Device& dev);

}  // namespace device
