// Processes of the simulated device and the programs it can launch.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/objects.h"
#include "platform/user.h"

namespace sim {

// The entry of a program: its command line (arguments only) and show command.
using ProgramMain = std::function<int(const std::u16string& cmdLine, int show)>;

struct WindowClass {
  std::u16string name;
  WNDPROC proc = nullptr;
  UINT style = 0;
};

struct Process {
  DWORD pid = 0;             // the value of its permanent handle, as on the device
  std::u16string exeName;    // bare name, as the process snapshot shows it
  std::u16string imagePath;  // full device path
  std::u16string cmdLine;
  Thread* mainThread = nullptr;
  std::vector<Thread*> threads;
  uint32_t traceName = 0;  // the trace's id of exeName, once known
  // What idling costs: how often a thread of the program woke from a wait, and how often each
  // of its window timers fired (by timer id).
  uint64_t wakeups = 0;
  uint64_t lastWakeAt = 0;  // device time of the latest of them
  std::map<UINT, uint64_t> timerFirings;
  bool ended = false;
  DWORD exitCode = 0x103;
  std::vector<WindowClass> classes;
  std::shared_ptr<ProcessObj> object;
  // Process-wide data of the program's own (its globals), released at teardown.
  std::map<const void*, std::pair<void*, void (*)(void*)>> slots;
  // The program reaches its globals at every turn: the slots found last, by key, spare most
  // searches of the map. A slot lives as long as its process.
  std::array<std::pair<const void*, void*>, 8> recentSlots{};
  ~Process() {
    for (auto& [key, slot] : slots) slot.second(slot.first);
  }
};

}  // namespace sim
