#include "shellwin/intercept.h"

namespace shellwin {

// Window interception is not built yet: nothing is subclassed.
void SubclassShellWindows() {}
void UnsubclassShellWindows() {}
bool SubclassNotifyWindow() {
  return false;
}
void UnsubclassNotifyWindow() {}
void ForgetManilaProc() {}

}  // namespace shellwin
