// The daemon's options, as loaded from the settings store HKCU\Software\Zeq\Vurl. Every Part
// reads them from here by their value names.
#pragma once

#include <array>
#include <cstdint>

#include "platform/relaxed.h"
#include "platform/win_types.h"

namespace settings {

using Byte = platform::Relaxed<uint8_t>;
using Word = platform::Relaxed<uint32_t>;

constexpr WCHAR kStoreKey[] = u"Software\\Zeq\\Vurl";
constexpr size_t kTextChars = 260;

// Built-in defaults are the initial values; LoadSettings replaces them from the store.
struct Settings {
  // Locking triggers.
  Byte AutoStart{1};
  Byte BlankStart{1};
  Byte ACBlankStart{0};
  Byte IdleStart{1};
  Byte ACIdleStart{0};
  Byte ActionOnAC{1};
  Byte StylusOutUnlock{1};
  Byte StylusInLock{0};
  Byte UnlockOnRotate{0};
  Word WakeUpDelayMS{500};
  Byte PasswordLock{0};
  Word DelayBootUpMS{5000};
  Byte InCallLock{0};
  Byte NoPowerSuspend{0};
  Byte NoSystemLock{0};
  Byte NoManilaLock{0};
  // Calls.
  Byte CallerID{0};
  Byte DialedID{0};
  Word CallerIDKeyDelay{70};
  Word DelayUnknownCallerMS{4000};
  Byte PowerButtonEndCall{1};
  Byte BlankOnTalk{0};
  Byte ACBlankOnTalk{0};
  Word BlankOnTalkDelayMS{300};
  Byte VibrateOnConnect{0};
  std::array<WCHAR, kTextChars> IncomingText{};
  // Keys and volume.
  Byte NoKeyBoardHook{1};
  Byte VolumeControl{0};
  Byte InCallVolumeControl{0};
  Byte NoVolumeKeyLock{0};
  // What the slide screen is given.
  Byte ShowAppointment{0};
  Byte AppointmentDays{7};
  Byte ShowAllDay{1};
  Byte ShowTask{1};
  Byte LockNotification{0};
  Byte ShowEmailPreview{0};
  Byte ShowSMSPreview{0};
  Byte ShowMMSPreview{0};
  Byte KoreanSMSpatch{0};
  Byte VibrationLED{255};
  // Companion programs, exceptions, wallpaper, diagnostics.
  Byte HPstartFenk{1};
  Byte HPcloseFenk{0};
  Byte ExceptionEXEisFG{1};
  Byte WallpaperChangeTime{0};
  Byte DebugOn{0};
  // Run-time facts found while loading.
  Word OsMajorVersion{5};
  Byte DisplayPowerEscape{0};
};

// The calling process's settings.
Settings& S();

// Loads the store into S() (creating it on the first run), then the exception lists, the
// program paths and the run-time facts.
void LoadSettings();

}  // namespace settings
