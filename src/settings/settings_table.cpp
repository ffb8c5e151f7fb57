#include "settings/settings_table.h"

#include <array>

namespace settings {

namespace {
using S = Settings;

constexpr DaemonValue B(const WCHAR* name, Byte S::*member, bool created = true) {
  return {name, Kind::Byte, member, nullptr, nullptr, created};
}
constexpr DaemonValue W(const WCHAR* name, Word S::*member, bool created = true) {
  return {name, Kind::Dword, nullptr, member, nullptr, created};
}
constexpr DaemonValue T(const WCHAR* name, Text S::*member, bool created = true) {
  return {name, Kind::Text, nullptr, nullptr, member, created};
}
constexpr bool kReadOnly = false;

constexpr DaemonValue kDaemon[] = {
    // Locking triggers.
    B(u"AutoStart", &S::AutoStart),
    B(u"BlankStart", &S::BlankStart),
    B(u"ACBlankStart", &S::ACBlankStart),
    B(u"IdleStart", &S::IdleStart),
    B(u"ACIdleStart", &S::ACIdleStart),
    B(u"ActionOnAC", &S::ActionOnAC),
    B(u"StylusOutUnlock", &S::StylusOutUnlock),
    B(u"StylusInLock", &S::StylusInLock),
    B(u"UnlockOnRotate", &S::UnlockOnRotate),
    W(u"WakeUpDelayMS", &S::WakeUpDelayMS),
    B(u"PasswordLock", &S::PasswordLock),
    W(u"DelayBootUpMS", &S::DelayBootUpMS),
    B(u"InCallLock", &S::InCallLock),
    B(u"NoPowerSuspend", &S::NoPowerSuspend),
    B(u"NoSystemLock", &S::NoSystemLock),
    B(u"NoManilaLock", &S::NoManilaLock),
    // Calls.
    B(u"CallerID", &S::CallerID),
    B(u"DialedID", &S::DialedID, kReadOnly),
    W(u"CallerIDKeyDelay", &S::CallerIDKeyDelay, kReadOnly),
    W(u"DelayUnknownCallerMS", &S::DelayUnknownCallerMS),
    B(u"PowerButtonEndCall", &S::PowerButtonEndCall),
    B(u"BlankOnTalk", &S::BlankOnTalk),
    B(u"ACBlankOnTalk", &S::ACBlankOnTalk),
    W(u"BlankOnTalkDelayMS", &S::BlankOnTalkDelayMS),
    B(u"VibrateOnConnect", &S::VibrateOnConnect),
    T(u"IncomingText", &S::IncomingText, kReadOnly),
    // Keys and volume.
    B(u"NoKeyBoardHook", &S::NoKeyBoardHook),
    B(u"VolumeControl", &S::VolumeControl),
    B(u"InCallVolumeControl", &S::InCallVolumeControl),
    B(u"NoVolumeKeyLock", &S::NoVolumeKeyLock),
    // What the slide screen is given.
    B(u"ShowAppointment", &S::ShowAppointment),
    B(u"AppointmentDays", &S::AppointmentDays),
    B(u"ShowAllDay", &S::ShowAllDay),
    B(u"ShowTask", &S::ShowTask),
    B(u"LockNotification", &S::LockNotification),
    B(u"ShowEmailPreview", &S::ShowEmailPreview),
    B(u"ShowSMSPreview", &S::ShowSMSPreview),
    B(u"ShowMMSPreview", &S::ShowMMSPreview),
    B(u"KoreanSMSpatch", &S::KoreanSMSpatch, kReadOnly),
    B(u"VibrationLED", &S::VibrationLED),
    // Companion programs, exceptions, wallpaper, diagnostics.
    B(u"HPstartFenk", &S::HPstartFenk),
    B(u"HPcloseFenk", &S::HPcloseFenk),
    B(u"ExceptionEXEisFG", &S::ExceptionEXEisFG),
    B(u"WallpaperChangeTime", &S::WallpaperChangeTime),
    T(u"Wallpaper", &S::Wallpaper),
    T(u"WallpaperL", &S::WallpaperL),
    B(u"DebugOn", &S::DebugOn, kReadOnly),
};

constexpr SlideValue Flag(const WCHAR* name, uint32_t v) {
  return {name, Kind::Byte, v, v};
}
// Created with `first` on a new store and with `later` when found missing afterwards.
constexpr SlideValue Flag(const WCHAR* name, uint32_t first, uint32_t later) {
  return {name, Kind::Byte, first, later};
}
constexpr SlideValue Dword(const WCHAR* name, uint32_t v) {
  return {name, Kind::Dword, v, v};
}
constexpr SlideValue Str(const WCHAR* name, size_t chars, const WCHAR* text = u"") {
  return {name, Kind::Text, 0, 0, text, chars};
}
constexpr SlideValue FirstOnly(const WCHAR* name, uint32_t v) {
  return {name, Kind::Byte, v, v, u"", 0, true};
}

constexpr size_t kFormat = 130, kPath = 260, kClock = 30;

constexpr SlideValue kSlide[] = {
    Flag(u"Slide2Answer", 0),
    Flag(u"Slide2End", 0),
    Flag(u"HoxAnsKey", 0),
    Flag(u"SendBusySMS", 0),
    Flag(u"CanonicalFormat", 0),
    Flag(u"TextShadow", 0),
    Flag(u"AppointmentLine", 0),
    Flag(u"DpadOn", 0),
    Flag(u"ShowWeather", 0),
    Flag(u"NoSoftKey", 0),
    Flag(u"GifSpeed", 0),
    Flag(u"WallpaperRandom", 0),
    Flag(u"GifEndless", 0),
    Flag(u"TransparentVC", 0),
    Flag(u"NoFenk", 0),
    Flag(u"ShowMMS", 0),
    Flag(u"Unlock2Home", 0),
    Flag(u"IgnoreScreenRotation", 0),
    Flag(u"SliderInertia", 0),
    Flag(u"HapticFeedback", 0),
    Flag(u"AutoDismissNotification", 0),
    Flag(u"ShowOwnerInfo", 0),
    Flag(u"AutoMarkReadSMS", 0),
    Flag(u"AutoMarkReadEmail", 0),
    Flag(u"HoxEndKey", 1),
    Flag(u"AlignAppointment", 1),
    Flag(u"ShowAlarm", 1),
    Flag(u"TopmostCurtain", 1),
    Flag(u"TopCurtain", 1),
    Flag(u"BottomCurtain", 1),
    Flag(u"FenkControl", 1),
    Flag(u"FenkAlbum", 1),
    Flag(u"ShowBattery", 1),
    Flag(u"BatteryOnTop", 0, 1),
    Flag(u"DisplayMode", 2),
    Flag(u"CurtainAlpha", 15),
    Dword(u"CanonicalPrefix", 1),
    Dword(u"PasswordTime", 0),
    Str(u"TimeFormat", kFormat, u"H':'mm"),
    Str(u"Time2Format", kFormat, u"H':'mm"),
    Str(u"DateFormat", kFormat, u"dddd', 'd MMMM"),
    Str(u"AppointmentTimeFormat", kFormat, u"h':'mmt"),
    Str(u"AppointmentDateFormat", kFormat),
    Str(u"LockSound", kPath),
    Str(u"UnlockSound", kPath),
    Str(u"UnlockRunEXE", kPath),
    Str(u"ClockPath", kClock, u"clock\\"),
    Str(u"Clock2Path", kClock),
    FirstOnly(u"OffLCD", 17),
    FirstOnly(u"ACOffLCD", 0),
    FirstOnly(u"BlankScreen", 0),
    FirstOnly(u"ACBlankScreen", 0),
    FirstOnly(u"DigitalBattery", 0),
};
}  // namespace

std::span<const DaemonValue> DaemonValues() {
  return kDaemon;
}

std::span<const SlideValue> SlideValues() {
  return kSlide;
}

}  // namespace settings
