// Device rules the daemon depends on: SHFullScreen refuses to hide anything for a window not in
// front, and wave out reports a buffer done only after the length of its ticks, on a thread of
// the device, or at once when the device is reset.
#include <array>

#include "platform/kernel.h"
#include "platform/user.h"
#include "platform/wave.h"
#include "sim_fixture.h"

namespace {

class SimShellWave : public SimTest {};

HWND MakeWindow(const WCHAR* cls) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DefWindowProcW;
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, cls, cls, 0, 0, 0, 10, 10, 0, 0, 0, nullptr);
  ShowWindow(h, SW_SHOW);
  return h;
}

TEST_F(SimShellWave, HidingTheTaskBarNeedsTheWindowInFront) {
  BOOL behind = TRUE, front = FALSE, show = FALSE;
  Run(u"full.exe", [&] {
    HWND a = MakeWindow(u"A");
    HWND b = MakeWindow(u"B");
    SetForegroundWindow(b);
    behind = SHFullScreen(a, SHFS_HIDETASKBAR);
    show = SHFullScreen(a, SHFS_SHOWTASKBAR);
    SetForegroundWindow(a);
    front = SHFullScreen(a, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
    return 0;
  });
  ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  EXPECT_FALSE(behind);
  EXPECT_TRUE(show);
  EXPECT_TRUE(front);
  EXPECT_EQ(TraceLines("SHFullScreen 0x2 refused").size(), 1u);
}

struct Done {
  HANDLE event = 0;
  DWORD thread = 0;
  int count = 0;
};
Done g_done;

void OnWave(HWAVEOUT, UINT msg, LONG_PTR, LONG_PTR, LONG_PTR) {
  if (msg != WOM_DONE) return;
  ++g_done.count;
  g_done.thread = GetCurrentThreadId();
  SetEvent(g_done.event);
}

TEST_F(SimShellWave, ToneIsDoneAfterItsTicksOnAnotherThreadAndResetEndsItAtOnce) {
  g_done = {};
  uint64_t doneAt = 0, resetAt = 0;
  DWORD self = 0;
  MMRESULT still = 0;
  Run(u"tone.exe", [&] {
    self = GetCurrentThreadId();
    g_done.event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WAVEFORMAT_MIDI f{{WAVE_FORMAT_MIDI, 1, 0, 0, 8, 0, 10}, 100000, 10};
    std::array<WAVEFORMAT_MIDI_MESSAGE, 2> tone{{{0, 0x207F0000 | 941}, {5, 0x307F0000 | 941}}};
    WAVEHDR h{};
    h.lpData = reinterpret_cast<char*>(tone.data());
    h.dwBufferLength = sizeof tone;
    HWAVEOUT w = 0;
    if (waveOutOpen(&w, WAVE_MAPPER, &f.wfx, reinterpret_cast<LONG_PTR>(&OnWave), 0,
                    CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
      return 1;
    waveOutPrepareHeader(w, &h, sizeof h);
    uint64_t start = GetTickCount();
    waveOutWrite(w, &h, sizeof h);
    still = waveOutUnprepareHeader(w, &h, sizeof h);
    WaitForSingleObject(g_done.event, INFINITE);
    doneAt = GetTickCount() - start;
    ResetEvent(g_done.event);
    waveOutWrite(w, &h, sizeof h);
    waveOutReset(w);
    WaitForSingleObject(g_done.event, INFINITE);
    resetAt = GetTickCount() - start;
    waveOutUnprepareHeader(w, &h, sizeof h);
    return static_cast<int>(waveOutClose(w));
  });
  ASSERT_TRUE(dev.Settle()) << dev.Failure();
  EXPECT_EQ(still, WAVERR_STILLPLAYING);
  EXPECT_EQ(doneAt, 50u);
  EXPECT_EQ(resetAt, 50u);
  EXPECT_EQ(g_done.count, 2);
  EXPECT_NE(g_done.thread, self);
  EXPECT_EQ(TraceLines("tone 941 941").size(), 2u);
}

}  // namespace
