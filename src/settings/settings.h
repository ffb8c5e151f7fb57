// The daemon's options, as loaded from the settings store HKCU\Software\Zeq\Vurl. Every part of
// the daemon reads them from here by their value names.
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
// A text of the store: up to kTextChars characters, always followed by a NUL.
using Text = std::array<WCHAR, kTextChars + 1>;

constexpr size_t kExceptionCount = 20;
constexpr size_t kExceptionChars = 50;  // with the terminator
// One exception program name. The power thread reads the list while a reload may rewrite it,
// so each character is a relaxed atomic; a reader may see a name half old, half new.
using ExceptionName = std::array<platform::Relaxed<WCHAR>, kExceptionChars>;

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
  Text IncomingText{};
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
  // Read at each load for the wallpaper rule only; empty when the stored text is unreadable.
  Text Wallpaper{};
  Text WallpaperL{};
  Byte DebugOn{0};
  // Programs that keep the daemon from locking by itself; an empty entry is unused.
  std::array<ExceptionName, kExceptionCount> ExceptionList{};
  // Run-time facts found while loading.
  Word OsMajorVersion{5};
  Byte DisplayPowerEscape{0};
};

// The calling process's settings.
Settings& S();

// Loads the store into S() (creating and filling it on the first run, after the first-run
// notices), then the exception lists, the program paths and the run-time facts. Called at
// start-up and whenever the settings editor says the store changed.
void LoadSettings();

// Writes every value of a new store into the open key, the daemon's from S(), and flushes it.
void WriteDefaultSettings(HKEY key);

}  // namespace settings
