#include "core/state.h"

#include "platform/process_local.h"

namespace core {

State& G() {
  return platform::ProcessGlobal<State>();
}

}  // namespace core
