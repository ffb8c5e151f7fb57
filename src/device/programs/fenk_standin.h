// Stand-in for the music panel ("fenk.exe", window class and title "Fenk").
#pragma once

#include <string>

namespace device {

constexpr char16_t kFenkPath[] = u"\\Program Files\\Fenk\\fenk.exe";

int FenkMain(const std::u16string& cmdLine, int show);

}  // namespace device
