#include "app/lifecycle.h"

#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/wallpaper.h"
#include "log/debug_log.h"
#include "pim/appointments.h"
#include "pim/poom.h"
#include "pim/sim_phonebook.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/settings.h"
#include "shellwin/incoming.h"
#include "state/subscriptions.h"
#include "telephony/line.h"

namespace app {

using namespace core;

using dlog::DebugLog;
using dlog::Detailed;

namespace {
// The worker threads and events the window owns from creation to destruction.
struct Workers {
  HANDLE powerStop = 0;
  HANDLE powerThread = 0;
  HANDLE exportStop = 0;
  HANDLE exportThread = 0;
};
Workers& W() {
  return platform::ProcessGlobal<Workers>();
}

LPVOID AsParam(HANDLE h) {
  return reinterpret_cast<LPVOID>(static_cast<uintptr_t>(h));
}

// Signals the stop event, waits a bounded time, then terminates a thread that did not end.
void StopWorker(HANDLE& stop, HANDLE& thread, DWORD waitMs) {
  SetEvent(stop);
  if (thread) {
    if (WaitForSingleObject(thread, waitMs) != WAIT_OBJECT_0) TerminateThread(thread, 0);
    CloseHandle(thread);
    thread = 0;
  }
  CloseHandle(stop);
  stop = 0;
}

void Log(const char16_t* text) {
  if (Detailed()) DebugLog(text);
}
}  // namespace

void OnCreate(HWND hwnd, WPARAM, LPARAM) {
  G().daemonWindow = hwnd;
  if (Detailed()) DebugLog(u"Dorvane Wnd %0X", hwnd);
  lock::ArmWallpaperTimer(hwnd);
  Workers& w = W();
  w.powerStop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (w.powerStop)
    w.powerThread = CreateThread(nullptr, 0, &power::PowerThread, AsParam(w.powerStop), 0, nullptr);
  telephony::TapiInitialize();
  pim::LoadSimPhonebook();
  w.exportStop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (w.exportStop)
    w.exportThread =
        CreateThread(nullptr, 0, &pim::AppointmentExportThread, AsParam(w.exportStop), 0, nullptr);
  input::OpenToneEvent();
  state::RegisterSnapi();
}

void OnDestroy(HWND hwnd, WPARAM, LPARAM) {
  Workers& w = W();
  Log(u"WM_DESTROY");
  KillTimer(hwnd, kTimerSlideStarted);
  state::UnregisterSnapi();
  power::StopUnattendedMode();
  // Whatever the decisions above, a daemon that is going away holds no request.
  power::ReleaseUnattendedRequests();
  Log(u"WM_DESTROY 2");
  if (w.powerStop) StopWorker(w.powerStop, w.powerThread, 300);
  Log(u"WM_DESTROY 3");
  if (w.exportStop) {
    pim::AbortAppointmentExport();
    StopWorker(w.exportStop, w.exportThread, 500);
  }
  Log(u"WM_DESTROY 3");
  input::CloseToneEvent();
  Log(u"WM_DESTROY 4");
  telephony::CurrentLineClose();
  telephony::TapiShutdown();
  Log(u"WM_DESTROY 5");
  input::RemoveKeyboardHook();
  Log(u"WM_DESTROY 6");
  pim::ReleaseSim();
  pim::ClosePoomSession();
  shellwin::RestoreIncomingWindowProc();
  Log(u"WM_DESTROY end");
  PostQuitMessage(0);
}

void OnClose(HWND hwnd, WPARAM wParam, LPARAM) {
  if (Detailed()) DebugLog(u"Close Message %d", wParam);
  if (wParam != 1) {
    DestroyWindow(hwnd);
    return;
  }
  // Timer 1033 closes the notice and the daemon after 2 s whether or not anyone presses OK.
  SetTimer(hwnd, kTimerClose, 2000, nullptr);
  std::u16string text = platform::FormatW(u"Dorvane2 & %s are closing...", u"Vurl");
  MessageBoxW(0, text.c_str(), u"Dorvane2 Message", MB_SETFOREGROUND | MB_ICONINFORMATION);
}

}  // namespace app
