#include "app/state.h"

#include "platform/process_local.h"

namespace app {

State& G() {
  return platform::ProcessGlobal<State>();
}

}  // namespace app
