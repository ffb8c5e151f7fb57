#include "device/programs/programs.h"

#include "device/programs/dolm_standin.h"
#include "device/programs/fenk_standin.h"
#include "device/programs/phone_standin.h"
#include "device/programs/shell_standin.h"
#include "device/programs/tmail_standin.h"
#include "device/programs/vurl_standin.h"

namespace app {
// The daemon's entry point, found by the device's loader as a real one finds WinMain; declared
// here rather than included so that nothing outside app/ reaches into it.
int DaemonMain(const std::u16string& cmdLine, int show);
}  // namespace app

namespace device {

void InstallPrograms(sim::Device& dev) {
  dev.RegisterProgram(u"dorvane2.exe", &app::DaemonMain);
  dev.RegisterProgram(u"vurl.exe", &VurlMain);
  dev.RegisterProgram(u"shell32.exe", &ShellMain);
  dev.RegisterProgram(u"fenk.exe", &FenkMain);
  dev.RegisterProgram(u"dolm.exe", &DolmMain);
  dev.RegisterProgram(u"tmail.exe", &TmailMain);
  dev.RegisterProgram(kPhoneExe, &PhoneMain);
  // The shell's windows are there from boot.
  dev.files().AddFile(u"\\Windows\\shell32.exe");
  dev.Launch(u"\\Windows\\shell32.exe", u"", 5);
}

void InstallDaemon(sim::Device& dev, const std::u16string& daemonPath) {
  dev.files().AddFile(daemonPath);
  std::u16string dir = daemonPath.substr(0, daemonPath.find_last_of(u'\\'));
  dev.files().AddFile(dir + u"\\vurl.exe");
  // Faults strike the daemon's own calls, under whatever name it was installed.
  dev.faults().SetTarget(daemonPath.substr(daemonPath.find_last_of(u'\\') + 1));
}

}  // namespace device
