// The listener thread of the sleep timer. It waits on the named events (notify, stop); when
// the notification fires it keeps the device awake, stops the music and leaves the rest to
// the daemon window's timer 1047, which then stops the listener.
#include <array>

#include "companions/music_panel.h"
#include "core/messages.h"
#include "core/state.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/notify.h"
#include "platform/process_local.h"
#include "platform/relaxed.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "state/reminders.h"
#include "state/timed_wakeups.h"

namespace state {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;

namespace {

constexpr DWORD kStopWaitMs = 2000;
constexpr UINT kHandOverMs = 2000;
constexpr uint32_t kDebugBuzzMs = 150;
// A wait that fails (events gone) would fail again at once; a pause keeps it from spinning.
constexpr DWORD kRetryPauseMs = 1000;

struct Listener {
  std::array<HANDLE, 2> events{};  // notify, stop: the order of the wait
  HANDLE thread = 0;
  platform::Relaxed<uint8_t> fired{0};
};

Listener& L() {
  return platform::ProcessGlobal<Listener>();
}

void OnTimerNotification() {
  if (G().DisplayOff) power::StartUnattendedMode(true);
  if (Detailed()) {
    DebugLog(u"Timer Notification");
    Vibrate(kDebugBuzzMs);
  }
  companions::StopMusicPanel();
  L().fired = 1;
  SetTimer(G().daemonWindow, core::kTimerSleepTimer, kHandOverMs, nullptr);
}

DWORD TimerEventListener(LPVOID param) {
  const HANDLE* events = static_cast<const HANDLE*>(param);
  for (;;) {
    EventModify(events[0], EVENT_RESET);
    DWORD r = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (r == WAIT_OBJECT_0) {
      OnTimerNotification();
    } else if (r == WAIT_OBJECT_0 + 1) {
      if (Detailed()) DebugLog(u"Timer Notification: quit");
      return 0;
    } else {
      if (Detailed()) DebugLog(u"Error: TimerEventListener");
      Sleep(kRetryPauseMs);
    }
  }
}

}  // namespace

int StartTimerEventListener(HANDLE notifyEvent, HANDLE stopEvent) {
  Listener& l = L();
  if (Detailed()) DebugLog(u"StartTimerEventListener");
  l.events = {notifyEvent, stopEvent};
  l.fired = 0;
  // Without both events every wait would fail at once: no listener is better than a spinning
  // one. The sleep timer then fires unheard, as with a thread that could not be made.
  if (!notifyEvent || !stopEvent) {
    if (Detailed()) DebugLog(u"Error: TimerEventListener");
    return 0;
  }
  l.thread = CreateThread(nullptr, 0, &TimerEventListener, l.events.data(), 0, nullptr);
  return 0;
}

bool StopTimerEventListener() {
  Listener& l = L();
  if (Detailed()) DebugLog(u"StopTimerEventListener");
  if (!l.thread) return true;
  // Pulsed, not set: a listener busy with a notification misses it, and the bounded wait
  // then ends it.
  EventModify(l.events[1], EVENT_PULSE);
  if (WaitForSingleObject(l.thread, kStopWaitMs) != WAIT_OBJECT_0) TerminateThread(l.thread, 0);
  CloseHandle(l.thread);
  l.thread = 0;
  l.fired = 0;
  return true;
}

bool IsTimerListenerRunning() {
  return L().thread != 0;
}

bool TimerListenerFired() {
  return L().fired != 0;
}

}  // namespace state
