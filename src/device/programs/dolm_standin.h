// Stand-in for the "Dolm" companion window ("dolm.exe"): it takes the battery message.
#pragma once

#include <string>

namespace device {

int DolmMain(const std::u16string& cmdLine, int show);

}  // namespace device
