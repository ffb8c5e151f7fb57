// The daemon as a Windows program: the arguments joined into the device's command line.
#include <string>

#include "app/entry.h"
#include "platform/user.h"
#include "platform/wstr.h"

int main(int argc, char** argv) {
  std::u16string args;
  for (int i = 1; i < argc; ++i) args += (i > 1 ? u" " : u"") + platform::U16(argv[i]);
  return app::DaemonMain(args, SW_SHOW);
}
