// Stand-in for the slide screen program ("vurl.exe", window class and title "Vurl").
#pragma once

#include <string>

namespace device {

int VurlMain(const std::u16string& cmdLine, int show);

}  // namespace device
