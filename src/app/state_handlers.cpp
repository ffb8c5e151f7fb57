// The daemon window's handling of state-store messages and counters.
#include "app/forward.h"
#include "app/handlers.h"
#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "messaging/message_store.h"
#include "pim/appointments.h"
#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/user.h"
#include "settings/settings.h"
#include "state/counters.h"

namespace app {

using namespace core;

using dlog::DebugLog;
using dlog::Detailed;
using lock::PostToSlideScreen;
using settings::S;

namespace {
int32_t Signed(WPARAM w) {
  return static_cast<int32_t>(w);
}

// New SMS or MMS: on the lock screen with previews on, wake the display and show it.
void NewMessageCount(UINT msg, WPARAM count, Int& stored, const WCHAR* store, bool previewOn,
                     WPARAM wakeKind, bool dropNegative) {
  State& g = G();
  UnattendedNudge();
  if (S().LockNotification && count != 0) {
    Sleep(500);
    messaging::RunOnMessageStore(store, messaging::StoreAction::ExportPreview);
    if (previewOn && g.Locked && stored < Signed(count) && !lock::IsPhoneBusy()) {
      SetSystemPowerState(nullptr, POWER_STATE_ON, 0);
      PostToSlideScreen(kMsgNewMessageWake, wakeKind);
      stored = Signed(count);
      PostToSlideScreen(msg, count);
      return;
    }
  }
  stored = Signed(count);
  if (dropNegative && stored < 0) return;
  CounterForward(msg, stored);
}
}  // namespace

void OnForward(HWND, UINT msg, WPARAM wParam) {
  Forward(msg, wParam);
}

void OnPostToSlide(HWND, UINT msg, WPARAM wParam) {
  PostToSlideScreen(msg, wParam);
}

void OnMissedCalls(HWND, WPARAM wParam, LPARAM) {
  State& g = G();
  if (Detailed()) DebugLog(u"WM_CHANGE_PHONEMISSEDCALLS %d", wParam);
  g.MissedCalls = Signed(wParam);
  PostToSlideScreen(kMsgMissedCalls, wParam);
  if (wParam != 0 && g.Locked && !g.Talking) PostToSlideScreen(kMsgRepeatLock, 0);
}

void OnUnreadSms(HWND, WPARAM wParam, LPARAM) {
  NewMessageCount(kMsgUnreadSms, wParam, G().UnreadSMS, u"SMS", S().ShowSMSPreview, 0, false);
}

void OnUnreadMms(HWND, WPARAM wParam, LPARAM) {
  NewMessageCount(kMsgUnreadMms, wParam, G().UnreadMMS, u"MMS", S().ShowMMSPreview, 1, true);
}

void OnVoiceMail(HWND, WPARAM wParam, LPARAM) {
  UnattendedNudge();
  G().VoiceMail = Signed(wParam);
  if (G().VoiceMail < 0) return;
  CounterForward(kMsgVoiceMail, G().VoiceMail);
}

void OnUnreadEmail(HWND hwnd, WPARAM wParam, LPARAM) {
  State& g = G();
  int32_t count = Signed(wParam);
  int32_t old = g.UnreadEmail;
  if (Detailed()) DebugLog(u"WM_CHANGE_MESSAGINGTOTALEMAILUNREAD %d(%d)", count, old);
  UnattendedNudge();
  g.UnreadEmail = count;
  if (!S().LockNotification) {
    CounterForward(kMsgUnreadEmail, count);
    return;
  }
  PostToSlideScreen(kMsgUnreadEmail, wParam);
  if (count < 1)
    KillTimer(hwnd, kTimerEmailPreview);
  else
    SetTimer(hwnd, kTimerEmailPreview, count > old ? 3000 : 500, nullptr);
}

void OnAppointmentChanged(HWND hwnd, WPARAM, LPARAM) {
  SetTimer(hwnd, kTimerRefreshAppointments, 3000, nullptr);
}

void OnTaskCount(HWND, WPARAM wParam, LPARAM) {
  G().TaskCount = Signed(wParam);
  if (wParam != 0) pim::ExportTasks(S().ShowTask);
  PostToSlideScreen(kMsgTaskCount, wParam);
}

void OnBluetooth(HWND, WPARAM wParam, LPARAM) {
  G().BluetoothOn = wParam & 1;
  Forward(kMsgBluetooth, wParam);
}

void OnBtHeadphone(HWND, WPARAM wParam, LPARAM) {
  uint32_t v = wParam & 9;
  if (Detailed()) DebugLog(u"WM_CHANGE_BT_HEADPHONE %d", v);
  if (v & 8)
    Forward(kMsgBtMsHeadphone, 4);
  else
    Forward(kMsgBtHeadphone, v);
  HeadsetLogic(v);
}

void OnBtMsHeadphone(HWND, WPARAM wParam, LPARAM) {
  if (Detailed()) DebugLog(u"WM_CHANGE_BT_MSHEADPHONE %d", wParam);
  Forward(kMsgBtMsHeadphone, wParam & 4);
  HeadsetLogic(wParam & 4);
}

void OnBtStereo(HWND, WPARAM wParam, LPARAM) {
  Forward(kMsgBtMsHeadphone, wParam & 0x10);
}

void OnHeadphone(HWND, WPARAM wParam, LPARAM) {
  if (Detailed()) DebugLog(u"WM_CHANGE_HEADPHONE %d", wParam);
  Forward(kMsgHeadphone, wParam);
  HeadsetLogic(wParam);
}

void OnConnectionCount(HWND, WPARAM wParam, LPARAM) {
  G().ConnectionCount = wParam;
  Forward(kMsgConnectionCount, wParam);
}

void OnMailStorage(HWND, WPARAM, LPARAM) {
  G().MailStorageUnread = state::SumMailStorageUnread();
  PostToSlideScreen(kMsgMailStorage, static_cast<WPARAM>(G().MailStorageUnread.load()));
}

void OnMessengerUnread(HWND, WPARAM wParam, LPARAM) {
  G().MessengerUnread = Signed(wParam);
  PostToSlideScreen(kMsgMessengerUnread, wParam);
}

void OnNetwork(HWND, WPARAM wParam, LPARAM) {
  G().NetworkLevel = state::NetworkLevelFromFlags(wParam);
  Forward(kMsgNetwork, G().NetworkLevel);
}

void OnSyncing(HWND, WPARAM wParam, LPARAM) {
  G().Synchronizing = wParam & 0xFF;
  PostToSlideScreen(kMsgSyncing, wParam);
}

// The music panel's play state and volume are counters too: a slide screen that asks for all
// counters later (after a restart) gets the values of now, not those of the daemon's start.
void OnMusicStatus(HWND, WPARAM wParam, LPARAM) {
  G().MusicStatus = wParam & 0xFF;
  PostToSlideScreen(kMsgMusicStatus, wParam);
}

void OnMusicVolume(HWND, WPARAM wParam, LPARAM) {
  G().MusicVolume = wParam & 0xFF;
  PostToSlideScreen(kMsgMusicVolume, wParam);
}

void OnSystemLock(HWND, WPARAM wParam, LPARAM) {
  G().SystemLockState = wParam & 0xFF;
  if (Detailed()) DebugLog(u"DLStatus %d", G().SystemLockState.load());
}

void OnStylus(HWND, WPARAM wParam, LPARAM) {
  uint8_t status = wParam & 0xFF;
  if (status == 0) {
    if (S().StylusOutUnlock && S().StylusInLock) lock::StylusLock();
  } else if (S().StylusOutUnlock) {
    lock::DelayUnlock();
  }
}

void OnCallerProperty(HWND, WPARAM wParam, LPARAM) {
  State& g = G();
  if (!g.Incoming || g.UnknownCaller || g.CallerPropertyPassed) return;
  g.CallerPropertyPassed = 1;
  PostToSlideScreen(kMsgCallerProperty, wParam);
}

void OnIncomingName(HWND, WPARAM wParam, LPARAM) {
  if (G().Incoming && G().UnknownCaller) PostToSlideScreen(kMsgIncomingName, wParam);
}

void OnReminders(HWND, WPARAM, LPARAM) {
  State& g = G();
  int32_t count = state::CountReminders();
  g.ReminderCount = count;
  if (count != 0) {
    if (!S().LockNotification)
      g.ReminderTick = GetTickCount();
    else if (g.Locked && !lock::IsPhoneBusy())
      PostToSlideScreen(kMsgReminderShown, static_cast<WPARAM>(count));
  }
  if (count != g.ReminderCountSent) {
    PostToSlideScreen(kMsgReminders, static_cast<WPARAM>(count));
    g.ReminderCountSent = count;
  }
  if (Detailed())
    DebugLog(u"Change_Reminder %d(%d) LCD=%d", count, g.ReminderTick.load(), g.DisplayOff.load());
}

void OnActiveReminders(HWND hwnd, WPARAM, LPARAM) {
  SetTimer(hwnd, kTimerReminders, 1000, nullptr);
}

void OnPoomItem(HWND hwnd, UINT msg, LPARAM folder) {
  if (Detailed()) DebugLog(u"POOM Msg:%0X %d", msg, pim::IsAppointmentExportBusy() ? 1 : 0);
  if (folder == kFolderTasks) {
    if (msg == kMsgPoomChanged) PostMessageW(hwnd, kMsgTaskCount, G().TaskCount, 0);
    return;
  }
  SetTimer(hwnd, kTimerRefreshAppointments, 3500, nullptr);
}

}  // namespace app
