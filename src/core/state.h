// The daemon's process-wide state record: lock state, power facts, call flags, counters and the
// remembered windows. Every thread reads and writes it without locks; members more than one
// thread touches are relaxed atomics.
#pragma once

#include <array>
#include <cstdint>

#include "platform/relaxed.h"
#include "platform/win_types.h"

namespace core {

using Byte = platform::Relaxed<uint8_t>;
using Word = platform::Relaxed<uint32_t>;
using Handle = platform::Relaxed<uint32_t>;
using Int = platform::Relaxed<int32_t>;

struct State {
  // Start-up.
  HINSTANCE instance = 0;
  Handle daemonWindow{0};
  std::array<WCHAR, MAX_PATH> VurlPath{};
  std::array<WCHAR, MAX_PATH> FenkPath{};
  Byte OnExternalPower{0};
  Byte BatteryPercent{0};
  Byte BluetoothOn{0};
  Word ConnectionCount{0};
  Byte PhoneSkin{0};
  HANDLE notifyEvent = 0;
  HANDLE notifyStopEvent = 0;
  Handle TaskBarWindow{0};

  // Lock state and the slide screen.
  Byte Locked{0};
  Byte SlideStarting{0};
  // A lock screen that was wanted and did not come up has been launched once more; cleared
  // when a slide screen is found.
  Byte SlideRelaunched{0};
  Byte DelayUnlockPending{0};
  Word ReminderTick{0};
  Word UnlockTick{0};
  Handle SlideWindow{0};

  // Power and display.
  Byte DisplayOff{0};
  // The last power state reported was 0x10010000 (password, on): the notification window's
  // traffic then arms no reminder refresh.
  Byte PasswordPowerState{0};
  Byte PowerConnected{0};
  Byte UnattendedActive{0};
  // Unattended-mode requests this daemon made and has not released (main thread and power
  // thread both change it).
  Word UnattendedRequests{0};
  Word DisplayOnTick{0};
  Word CallEndTick{0};

  // Call flags.
  Byte Incoming{0};
  Byte Talking{0};
  Byte Dialing{0};
  Byte CallWaiting{0};
  Byte CallKind{0};
  Byte CallerPosted{0};
  Byte UnknownCaller{0};
  Byte RerunCaller{0};
  Byte CallerPropertyPassed{0};

  Byte CallKeySent{0};
  Handle IncomingDialog{0};
  Handle PhoneDialog{0};
  Handle IncomingMenuWindow{0};

  // Programs that asked for the state messages (slot 0 = free).
  std::array<Handle, 10> listeners{};
  Byte VolumePanelShown{0};
  Byte SdFlag{0};
  Byte DialSuppressed{0};

  // Counters, as last reported.
  Int TaskCount{0};
  Int MissedCalls{0};
  Int UnreadSMS{0};
  Int UnreadMMS{0};
  Int VoiceMail{0};
  Int UnreadEmail{0};
  Int MailStorageUnread{0};
  Int MessengerUnread{0};
  Int ReminderCount{0};
  Int ReminderCountSent{0};
  Byte Synchronizing{0};
  Byte MusicStatus{0};
  Byte MusicVolume{0};
  Byte SystemLockState{0};
  Word NetworkLevel{0};
};

// The calling process's record.
State& G();

}  // namespace core
