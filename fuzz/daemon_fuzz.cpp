// The daemon on a fresh simulated phone each time, fed one of two things decided by the first
// byte: a random day whose every choice is the input's bytes (every verb family: calls,
// messages, PIM, keys, settings, programs killed and restarted, failing platform calls), or a
// raw stream of private messages with any parameters, power events, state-store writes and
// waits. The daemon must neither crash nor hang the device, the text must always be a
// well-formed scenario, and a random day must keep the daemon alive.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/runner/runner.h"
#include "device/swarm/swarm.h"

namespace {

constexpr const char* kPower[] = {"on", "idle", "suspend", "unattended", "password", "resuming"};
constexpr const char* kValues[] = {
    "HKCU\\System\\State\\Phone \"Missed Call Count\"",
    "HKCU\\System\\State\\Messages\\SMS\\Unread Count",
    "HKCU\\System\\State\\Messages\\TotalEmail\\Unread Count",
    "HKLM\\System\\State\\Phone \"Signal Strength Raw\"",
    "HKCU\\System\\State\\Shell\\Reminders Active",
};

uint32_t Word(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0 && data[0] % 2 == 0) {
    swarm::ByteChoices choices(data + 1, size - 1);
    swarm::Day day = swarm::GenerateDay(choices, {5, 60});
    swarm::Outcome outcome = swarm::PlayDay(swarm::DayText(day, "fuzz"), {"alive"});
    if (outcome.parseError || !outcome.broken.empty()) __builtin_trap();
    return 0;
  }
  std::string text =
      "boot 120000\nreg set HKCU\\Software\\Zeq\\Vurl AutoStart binary 01\n"
      "start dorvane2\nwait 2s\n";
  // Six bytes an event: what, a detail, and four bytes of value.
  for (size_t i = 0; i + 6 <= size && i < 6 * 64; i += 6) {
    const uint8_t* p = data + i;
    uint32_t v = Word(p + 2);
    switch (p[0] % 4) {
      case 0:  // a private message, any wParam and lParam
        text += "post Dorvane2 " + std::to_string(32768 + p[1]) + " " + std::to_string(v) + " " +
                std::to_string(static_cast<int32_t>(v ^ 0x5A5A5A5A)) + "\n";
        break;
      case 1:
        text += std::string("power ") + kPower[p[1] % 6] + "\n";
        break;
      case 2:
        text += std::string("reg set ") + kValues[p[1] % 5] + " dword " + std::to_string(v) + "\n";
        break;
      default:
        text += "wait " + std::to_string(v % 120000) + "ms\n";
        break;
    }
  }
  device::RunOptions options;
  options.quiet = true;
  device::RunResult r = device::RunScenario(text, "fuzz.scn", options);
  if (r.status == device::kExitBroken) __builtin_trap();
  return 0;
}
