// Any bytes as a .reg file: a refused file leaves the registry exactly as it was; an accepted
// one exports to text that reads back to the same registry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sim/regfile.h"
#include "platform/sim/registry_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sim::Registry reg;
  reg.SetValue(u"HKCU\\Software\\Zeq\\Vurl", u"AutoStart", REG_BINARY, {1});
  reg.SetValue(u"HKLM\\System\\State\\Phone", u"Signal", REG_DWORD, {1, 2, 3, 4});
  const std::string before = sim::ExportRegText(reg);
  sim::RegParseResult r =
      sim::ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size), reg);
  std::string after = sim::ExportRegText(reg);
  if (!r.ok) {
    if (after != before || r.message.empty()) __builtin_trap();
    return 0;
  }
  sim::Registry again;
  sim::RegParseResult back = sim::ParseRegText(after, again);
  if (!back.ok || sim::ExportRegText(again) != after) __builtin_trap();
  return 0;
}
