// Any bytes as a scenario file: a step list or a clear error, never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/scenario/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  device::ParseResult r = device::ParseScenario(text, "fuzz.scn");
  if (!r.ok() && r.error->message.empty()) __builtin_trap();  // an error must say what is wrong
  return 0;
}
