// Dial-pad tones through the wave device's tone generator: the two frequencies of a key sound
// together for 50 ms at half the device volume.
#include <array>

#include "input/keys.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/wave.h"

namespace input {

namespace {

struct ToneKey {
  WCHAR key;
  WORD low, high;
};

constexpr ToneKey kTones[] = {
    {49, 697, 1209}, {50, 697, 1336}, {51, 697, 1477},  {52, 770, 1209},
    {53, 770, 1336}, {54, 770, 1477}, {55, 852, 1209},  {56, 852, 1336},
    {57, 852, 1477}, {48, 941, 1336}, {119, 941, 1209}, {120, 941, 1477},
};

constexpr DWORD kToneTicks = 5;
constexpr DWORD kUsecPerQuarterNote = 100000;
constexpr DWORD kTicksPerQuarterNote = 10;
constexpr DWORD kToneMs = kToneTicks * kUsecPerQuarterNote / kTicksPerQuarterNote / 1000;
// A wave device that never reports the tone played must not hold the daemon window for good.
constexpr DWORD kToneWaitMs = 20 * kToneMs;
constexpr DWORD kVolumeOn = 0x207F0000;
constexpr DWORD kVolumeOff = 0x307F0000;

struct ToneState {
  HANDLE done = 0;
};

ToneState& T() {
  return platform::ProcessGlobal<ToneState>();
}

void ToneCallback(HWAVEOUT, UINT msg, LONG_PTR, LONG_PTR, LONG_PTR) {
  if (msg == WOM_DONE && T().done) SetEvent(T().done);
}

WAVEFORMAT_MIDI ToneFormat() {
  WAVEFORMAT_MIDI f{};
  f.wfx.wFormatTag = WAVE_FORMAT_MIDI;
  f.wfx.nChannels = 1;
  f.wfx.nBlockAlign = 8;
  f.wfx.cbSize = 10;
  f.USecPerQuarterNote = kUsecPerQuarterNote;
  f.TicksPerQuarterNote = kTicksPerQuarterNote;
  return f;
}

// Returns 0 after the tone, -1 when the wave device cannot be opened.
int PlayTonePair(WORD high, WORD low) {
  WAVEFORMAT_MIDI format = ToneFormat();
  HWAVEOUT wave = 0;
  if (waveOutOpen(&wave, WAVE_MAPPER, &format.wfx, reinterpret_cast<LONG_PTR>(&ToneCallback), 0,
                  CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
    return -1;
  DWORD volume = 0;
  waveOutGetVolume(0, &volume);
  waveOutSetVolume(wave, ((volume & 0xFFFF) / 2) * 0x10001);
  std::array<WAVEFORMAT_MIDI_MESSAGE, 4> tone{{
      {0, kVolumeOn | high},
      {0, kVolumeOn | low},
      {kToneTicks, kVolumeOff | high},
      {0, kVolumeOff | low},
  }};
  WAVEHDR header{};
  header.lpData = reinterpret_cast<char*>(tone.data());
  header.dwBufferLength = sizeof tone;
  // The event is manual-reset: the wait must end for this tone, not an earlier one.
  if (T().done) ResetEvent(T().done);
  waveOutPrepareHeader(wave, &header, sizeof header);
  waveOutWrite(wave, &header, sizeof header);
  if (!T().done || WaitForSingleObject(T().done, kToneWaitMs) != WAIT_OBJECT_0) {
    dlog::DebugLog(u"Tone not played in %d ms", kToneWaitMs);
    waveOutReset(wave);
  }
  waveOutUnprepareHeader(wave, &header, sizeof header);
  waveOutClose(wave);
  return 0;
}

}  // namespace

void OpenToneEvent() {
  if (!T().done) T().done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

void CloseToneEvent() {
  if (T().done) CloseHandle(T().done);
  T().done = 0;
}

void PlayKeyTone(WCHAR key) {
  for (const ToneKey& t : kTones)
    if (t.key == key) {
      PlayTonePair(t.high, t.low);
      return;
    }
}

}  // namespace input
