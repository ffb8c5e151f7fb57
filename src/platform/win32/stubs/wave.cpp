// The tone generator's MIDI-like wave format exists only on the device: no wave device opens,
// and calls on a handle report it as invalid.
#include "platform/wave.h"

MMRESULT waveOutOpen(HWAVEOUT* out, UINT, const WAVEFORMATEX*, LONG_PTR, LONG_PTR, DWORD) {
  if (out) *out = HWAVEOUT{};
  return MMSYSERR_BADDEVICEID;
}
MMRESULT waveOutGetVolume(HWAVEOUT, DWORD* volume) {
  if (volume) *volume = 0;
  return MMSYSERR_BADDEVICEID;
}
MMRESULT waveOutSetVolume(HWAVEOUT, DWORD) {
  return MMSYSERR_BADDEVICEID;
}
MMRESULT waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) {
  return MMSYSERR_INVALHANDLE;
}
MMRESULT waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) {
  return MMSYSERR_INVALHANDLE;
}
MMRESULT waveOutWrite(HWAVEOUT, WAVEHDR*, UINT) {
  return MMSYSERR_INVALHANDLE;
}
MMRESULT waveOutReset(HWAVEOUT) {
  return MMSYSERR_INVALHANDLE;
}
MMRESULT waveOutClose(HWAVEOUT) {
  return MMSYSERR_INVALHANDLE;
}
