// Wave out, as far as the tone generator of the device needs it.
#pragma once

#include "platform/win_types.h"

using MMRESULT = UINT;
using HWAVEOUT = HANDLE;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr UINT WAVE_MAPPER = 0xFFFFFFFFu;
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
constexpr UINT WOM_OPEN = 0x3BB;
constexpr UINT WOM_CLOSE = 0x3BC;
constexpr UINT WOM_DONE = 0x3BD;
constexpr DWORD WHDR_DONE = 0x01;
constexpr DWORD WHDR_PREPARED = 0x02;

// The tone generator's format: MIDI-like frequency messages instead of samples.
constexpr WORD WAVE_FORMAT_MIDI = 0x3000;
constexpr DWORD MIDI_MESSAGE_FREQGENON = 0x20000000;
constexpr DWORD MIDI_MESSAGE_FREQGENOFF = 0x30000000;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

// 28 bytes: the 18-byte format, padding, then the timing of the ticks.
struct WAVEFORMAT_MIDI {
  WAVEFORMATEX wfx;
  DWORD USecPerQuarterNote;
  DWORD TicksPerQuarterNote;
};

struct WAVEFORMAT_MIDI_MESSAGE {
  DWORD DeltaTicks;
  DWORD MidiMsg;
};

struct WAVEHDR {
  char* lpData;
  DWORD dwBufferLength;
  DWORD dwBytesRecorded;
  LONG_PTR dwUser;
  DWORD dwFlags;
  DWORD dwLoops;
  WAVEHDR* lpNext;
  DWORD reserved;
};

// Called on a thread of the wave device; it may only signal or post.
using WAVEOUTPROC = void (*)(HWAVEOUT h, UINT msg, LONG_PTR instance, LONG_PTR param1,
                             LONG_PTR param2);

MMRESULT waveOutOpen(HWAVEOUT* out, UINT deviceId, const WAVEFORMATEX* format, LONG_PTR callback,
                     LONG_PTR instance, DWORD flags);
// `h` 0 names device 0; the volume is right << 16 | left.
MMRESULT waveOutGetVolume(HWAVEOUT h, DWORD* volume);
MMRESULT waveOutSetVolume(HWAVEOUT h, DWORD volume);
MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT size);
MMRESULT waveOutReset(HWAVEOUT h);
MMRESULT waveOutClose(HWAVEOUT h);
