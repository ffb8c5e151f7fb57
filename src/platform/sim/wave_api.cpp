#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/wave.h"

using sim::Dev;
using sim::WaveOut;

namespace {

WaveOut::Open* Opened(HWAVEOUT h) {
  auto& opens = Dev().wave().opens;
  auto it = opens.find(h);
  return it == opens.end() ? nullptr : &it->second;
}

// Runs the opener's callback on a thread of the wave device inside the opener's process.
void Callback(HWAVEOUT h, const WaveOut::Open& o, UINT msg, WAVEHDR* header) {
  if (!o.callback || !o.owner || o.owner->ended) return;
  WAVEOUTPROC cb = o.callback;
  LONG_PTR inst = o.instance;
  Dev().SpawnThread(o.owner, "wave", [=]() -> DWORD {
    cb(h, msg, inst, reinterpret_cast<LONG_PTR>(header), 0);
    return 0;
  });
}

// The pair of frequencies a tone buffer switches on, traced as "tone LOW HIGH", and its length.
uint64_t PlayTone(const WAVEHDR& header, DWORD usecPerTick) {
  const auto* msgs = reinterpret_cast<const WAVEFORMAT_MIDI_MESSAGE*>(header.lpData);
  size_t count = header.dwBufferLength / sizeof(WAVEFORMAT_MIDI_MESSAGE);
  std::vector<DWORD> freqs;
  uint64_t ticks = 0;
  for (size_t i = 0; i < count; ++i) {
    ticks += msgs[i].DeltaTicks;
    if ((msgs[i].MidiMsg & 0xF0000000u) == MIDI_MESSAGE_FREQGENON)
      freqs.push_back(msgs[i].MidiMsg & 0xFFFFu);
  }
  std::sort(freqs.begin(), freqs.end());
  if (!freqs.empty()) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "tone %u %u", freqs.front(), freqs.back());
    Dev().Note(buf, freqs.front());
  }
  return ticks * usecPerTick / 1000;
}

}  // namespace

MMRESULT waveOutOpen(HWAVEOUT* out, UINT deviceId, const WAVEFORMATEX* format, LONG_PTR callback,
                     LONG_PTR instance, DWORD flags) {
  if (auto struck = sim::Strike("waveOutOpen")) return static_cast<MMRESULT>(*struck);
  if (!out || !format) return MMSYSERR_INVALPARAM;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (format->wFormatTag != WAVE_FORMAT_MIDI || format->cbSize != 10) return WAVERR_BADFORMAT;
  const auto* midi = reinterpret_cast<const WAVEFORMAT_MIDI*>(format);
  if (midi->TicksPerQuarterNote == 0) return WAVERR_BADFORMAT;
  auto& wave = Dev().wave();
  WaveOut::Open o;
  if ((flags & 0x00070000u) == CALLBACK_FUNCTION)
    o.callback = reinterpret_cast<WAVEOUTPROC>(callback);
  o.instance = instance;
  o.owner = sim::Self() ? sim::Self()->process : nullptr;
  o.volume = wave.volume;
  o.usecPerTick = midi->USecPerQuarterNote / midi->TicksPerQuarterNote;
  HWAVEOUT h = wave.nextHandle++;
  wave.opens[h] = o;
  *out = h;
  Callback(h, o, WOM_OPEN, nullptr);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutGetVolume(HWAVEOUT h, DWORD* volume) {
  if (!volume) return MMSYSERR_INVALPARAM;
  if (h == 0) {
    *volume = Dev().wave().volume;
    return MMSYSERR_NOERROR;
  }
  WaveOut::Open* o = Opened(h);
  if (!o) return MMSYSERR_INVALHANDLE;
  *volume = o->volume;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutSetVolume(HWAVEOUT h, DWORD volume) {
  WaveOut::Open* o = Opened(h);
  if (!o) return MMSYSERR_INVALHANDLE;
  o->volume = volume;
  char buf[40];
  std::snprintf(buf, sizeof buf, "wave volume 0x%08X", volume);
  Dev().Note(buf, volume);
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  if (!Opened(h)) return MMSYSERR_INVALHANDLE;
  if (!header || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
  WaveOut::Open* o = Opened(h);
  if (!o) return MMSYSERR_INVALHANDLE;
  if (!header || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_DONE) &&
      std::find(o->playing.begin(), o->playing.end(), header) != o->playing.end())
    return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT size) {
  if (auto struck = sim::Strike("waveOutWrite")) return static_cast<MMRESULT>(*struck);
  WaveOut::Open* o = Opened(h);
  if (!o) return MMSYSERR_INVALHANDLE;
  if (!header || size != sizeof(WAVEHDR) || !header->lpData) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  o->playing.push_back(header);
  uint64_t length = PlayTone(*header, o->usecPerTick);
  Dev().At(Dev().Now() + length, [h, header] {
    WaveOut::Open* still = Opened(h);
    if (!still) return;
    auto it = std::find(still->playing.begin(), still->playing.end(), header);
    if (it == still->playing.end()) return;  // reset meanwhile
    still->playing.erase(it);
    header->dwFlags |= WHDR_DONE;
    Callback(h, *still, WOM_DONE, header);
  });
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutReset(HWAVEOUT h) {
  WaveOut::Open* o = Opened(h);
  if (!o) return MMSYSERR_INVALHANDLE;
  // Pending buffers come back marked done.
  for (WAVEHDR* header : o->playing) {
    header->dwFlags |= WHDR_DONE;
    Callback(h, *o, WOM_DONE, header);
  }
  o->playing.clear();
  return MMSYSERR_NOERROR;
}

MMRESULT waveOutClose(HWAVEOUT h) {
  WaveOut::Open* o = Opened(h);
  if (!o) return MMSYSERR_INVALHANDLE;
  if (!o->playing.empty()) return WAVERR_STILLPLAYING;
  WaveOut::Open copy = *o;
  Dev().wave().opens.erase(h);
  Callback(h, copy, WOM_CLOSE, nullptr);
  return MMSYSERR_NOERROR;
}
