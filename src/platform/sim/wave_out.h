// Wave out of the simulated device: the tone generator format only. A written buffer is played
// for the length of its ticks; then WOM_DONE reaches the opener's callback on a "wave" thread.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/wave.h"

namespace sim {

struct Process;

class WaveOut {
 public:
  struct Open {
    WAVEOUTPROC callback = nullptr;
    LONG_PTR instance = 0;
    Process* owner = nullptr;
    DWORD volume = 0xFFFFFFFFu;
    DWORD usecPerTick = 10000;
    std::vector<WAVEHDR*> playing;  // written and not yet done
  };
  // Device 0's volume, right << 16 | left.
  DWORD volume = 0xFFFFFFFFu;
  std::map<HWAVEOUT, Open> opens;
  HWAVEOUT nextHandle = 0x00B00001u;
};

}  // namespace sim
