#include "app/entry.h"

#include "app/startup.h"
#include "core/messages.h"
#include "lock/slide_screen.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/paths.h"
#include "state/counters.h"

namespace app {

using namespace core;

namespace {
// A switch counts only at the very start of the command line, compared over its own length
// without regard to case; whatever follows it is ignored.
bool Starts(const std::u16string& cmdLine, std::u16string_view sw) {
  return platform::ICompareN(cmdLine, sw, sw.size()) == 0;
}

// Hands the command to the daemon that already runs.
void ForwardToRunningDaemon(HWND daemon, const std::u16string& cmdLine) {
  if (Starts(cmdLine, u"-password")) {
    lock::PostToSlideScreen(kMsgPassword, 0);
    return;
  }
  if (HWND slide = lock::FindSlideScreen()) PostMessageW(slide, WM_CLOSE, 0, 0);
  PostMessageW(daemon, WM_CLOSE, Starts(cmdLine, u"-nomsg") ? 0 : 1, 0);
}
}  // namespace

int DaemonMain(const std::u16string& cmdLine, int show) {
  if (Starts(cmdLine, u"-slide")) {
    settings::ResolveProgramPaths();
    lock::AwakeSlideScreen(true, false);
    return 0;
  }
  if (Starts(cmdLine, u"-reset")) {
    state::ResetUnreadCounters();
    return 0;
  }
  if (HWND daemon = FindWindowW(kDaemonClass, kDaemonClass)) {
    ForwardToRunningDaemon(daemon, cmdLine);
    return 0;
  }
  RunDaemon(cmdLine, show, Starts(cmdLine, u"-show"));
  return 0;
}

}  // namespace app
