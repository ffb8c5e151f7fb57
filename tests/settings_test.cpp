// The settings store: first run, filling in, unreadable values, the rules between options,
// reloads and the run-time facts found while loading.
#include "settings/settings.h"

#include <deque>
#include <functional>
#include <set>

#include "core/messages.h"
#include "daemon_fixture.h"
#include "log/debug_log.h"
#include "platform/sim/sysinfo_config.h"
#include "platform/user.h"
#include "settings/name_tests.h"

namespace {

using platform::U16;

constexpr char16_t kStore[] = u"HKCU\\Software\\Zeq\\Vurl";

std::vector<uint8_t> Dw(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}
std::vector<uint8_t> Utf16(std::u16string_view text) {
  std::vector<uint8_t> out;
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}
sim::RegValue Bin(uint8_t v) {
  return {REG_BINARY, {v}};
}
sim::RegValue Dword(uint32_t v) {
  return {REG_DWORD, Dw(v)};
}
sim::RegValue Sz(std::u16string_view text) {
  return {REG_SZ, Utf16(text)};
}

// Everything a new store holds: the daemon's options with their built-in defaults (the
// vibration LED as the probe found it: none) and the slide screen's values.
std::map<std::u16string, sim::RegValue> NewStore() {
  std::map<std::u16string, sim::RegValue> all;
  auto fill = [&](std::string_view names, const sim::RegValue& value) {
    for (size_t start = 0, end; start < names.size(); start = end + 1) {
      end = std::min(names.find(' ', start), names.size());
      all[U16(names.substr(start, end - start))] = value;
    }
  };
  fill(
      "ACBlankStart ACIdleStart StylusInLock UnlockOnRotate PasswordLock InCallLock "
      "NoPowerSuspend NoSystemLock NoManilaLock CallerID BlankOnTalk ACBlankOnTalk "
      "VibrateOnConnect VolumeControl InCallVolumeControl NoVolumeKeyLock ShowAppointment "
      "LockNotification ShowEmailPreview ShowSMSPreview ShowMMSPreview HPcloseFenk "
      "WallpaperChangeTime Slide2Answer Slide2End HoxAnsKey SendBusySMS CanonicalFormat "
      "TextShadow AppointmentLine DpadOn ShowWeather NoSoftKey GifSpeed WallpaperRandom "
      "GifEndless TransparentVC NoFenk ShowMMS Unlock2Home IgnoreScreenRotation SliderInertia "
      "HapticFeedback AutoDismissNotification ShowOwnerInfo AutoMarkReadSMS AutoMarkReadEmail "
      "BatteryOnTop ACOffLCD BlankScreen ACBlankScreen DigitalBattery",
      Bin(0));
  fill(
      "AutoStart BlankStart IdleStart ActionOnAC StylusOutUnlock PowerButtonEndCall "
      "NoKeyBoardHook ShowAllDay ShowTask HPstartFenk ExceptionEXEisFG HoxEndKey "
      "AlignAppointment ShowAlarm TopmostCurtain TopCurtain BottomCurtain FenkControl FenkAlbum "
      "ShowBattery",
      Bin(1));
  fill("AppointmentDays", Bin(7));
  fill("VibrationLED", Bin(255));
  fill("DisplayMode", Bin(2));
  fill("CurtainAlpha", Bin(15));
  fill("OffLCD", Bin(17));
  fill("WakeUpDelayMS", Dword(500));
  fill("DelayBootUpMS", Dword(5000));
  fill("DelayUnknownCallerMS", Dword(4000));
  fill("BlankOnTalkDelayMS", Dword(300));
  fill("CanonicalPrefix", Dword(1));
  fill("PasswordTime", Dword(0));
  fill("TimeFormat Time2Format", Sz(u"H':'mm"));
  fill("DateFormat", Sz(u"dddd', 'd MMMM"));
  fill("AppointmentTimeFormat", Sz(u"h':'mmt"));
  fill("ClockPath", Sz(u"clock\\"));
  fill("Wallpaper WallpaperL AppointmentDateFormat LockSound UnlockSound UnlockRunEXE Clock2Path",
       Sz(u""));
  return all;
}

class SettingsTest : public DaemonTest {
 protected:
  std::map<std::u16string, sim::RegValue> Store() {
    std::map<std::u16string, sim::RegValue> out;
    for (auto& [name, value] : dev.registry().ListValues(kStore)) out[name] = value;
    return out;
  }
  std::optional<sim::RegValue> Value(std::u16string_view name) {
    return dev.registry().GetValue(kStore, name);
  }
  void Set(std::u16string_view name, sim::RegValue v) {
    dev.registry().SetValue(kStore, name, v.type, v.bytes);
  }

  const sim::Window* Box() {
    for (HWND h : dev.windows().ZOrder()) {
      const sim::Window* w = dev.windows().Get(h);
      if (w && w->visible && w->cls == u"Dialog") return w;
    }
    return nullptr;
  }
  void PressOk() {
    const sim::Window* box = Box();
    ASSERT_NE(box, nullptr);
    PostMessageW(box->hwnd, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  }
  size_t BoxesShown() {
    size_t n = 0;
    for (const auto& e : dev.trace().Events())
      n += e.kind == sim::TraceKind::MessageBox && !e.text.empty();
    return n;
  }

  // What the daemon window does on the settings editor's message.
  settings::Settings Load() {
    settings::Settings mem;
    InProbe([&] {
      settings::LoadSettings();
      mem = settings::S();
    });
    return mem;
  }
  // An existing store holding only what the test sets.
  void ExistingStore() { dev.registry().CreateKey(kStore); }
  bool Logged(std::u16string_view text) {
    for (const auto& line : LogLines())
      if (line.find(text) != std::u16string::npos) return true;
    return false;
  }
};

std::u16string TextOf(const settings::Text& t) {
  return std::u16string(platform::WView(t.data()));
}

TEST_F(SettingsTest, FirstRunShowsBothNoticesThenCreatesEveryValueAndNextStartShowsNone) {
  StartDaemon();
  const sim::Window* box = Box();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->title, u"Dorvane2 v2.21");
  EXPECT_EQ(dev.windows().Foreground(), box->hwnd);
  EXPECT_TRUE(box->exStyle & WS_EX_TOPMOST);
  // The store exists but is filled only once the notices are closed.
  EXPECT_TRUE(dev.registry().KeyExists(kStore));
  EXPECT_TRUE(Store().empty());
  EXPECT_TRUE(Trace("launch vurl.exe").empty());

  PressOk();
  box = Box();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->title, u"DISCLAIMER");
  EXPECT_TRUE(Store().empty());
  PressOk();
  EXPECT_EQ(Box(), nullptr);
  EXPECT_EQ(BoxesShown(), 2u);

  auto want = NewStore();
  want[u"VibrationLED"] = Bin(1);  // the daemon probed the device's two LEDs
  EXPECT_EQ(Store(), want);
  EXPECT_FALSE(Trace("launch vurl.exe -hide").empty());

  dev.Kill(u"dorvane2.exe");
  dev.Kill(u"vurl.exe");
  ASSERT_TRUE(dev.RunUntilIdle());
  dev.trace().Clear();
  StartDaemon();
  EXPECT_EQ(BoxesShown(), 0u);
  EXPECT_NE(dev.FindProcess(u"dorvane2.exe"), nullptr);
  EXPECT_FALSE(Trace("launch vurl.exe -hide").empty());
  // Nothing was missing, so nothing was written again.
  for (const auto& [name, value] : NewStore())
    EXPECT_TRUE(Trace("Vurl \"" + platform::U8(name) + "\"").empty()) << platform::U8(name);
}

TEST_F(SettingsTest, FirstRunKeepsBuiltInsAndLeavesIncomingTextEmptyUntilTheNextLoad) {
  dev.registry().SetValue(u"HKCU\\ControlPanel\\Notifications\\Phone", u"Default", REG_SZ,
                          Utf16(u"Incoming call"));
  StartProbe();
  settings::Settings mem;
  InProbe([&] {
    settings::LoadSettings();
    mem = settings::S();
  });
  PressOk();
  PressOk();
  EXPECT_EQ(TextOf(mem.IncomingText), u"");
  EXPECT_EQ(mem.NoKeyBoardHook, 1);
  EXPECT_EQ(mem.WakeUpDelayMS, 500u);

  mem = Load();
  EXPECT_EQ(BoxesShown(), 2u);
  EXPECT_EQ(TextOf(mem.IncomingText), u"Incoming call");
  EXPECT_FALSE(Value(u"IncomingText"));
}

TEST_F(SettingsTest, MissingValuesAreFilledInWithTheirLaterDefaults) {
  ExistingStore();
  Set(u"AutoStart", Bin(0));
  Set(u"WakeUpDelayMS", Dword(800));
  StartProbe();
  settings::Settings mem = Load();
  EXPECT_EQ(BoxesShown(), 0u);
  EXPECT_EQ(mem.AutoStart, 0);
  EXPECT_EQ(mem.WakeUpDelayMS, 800u);

  auto want = NewStore();
  want[u"AutoStart"] = Bin(0);
  want[u"WakeUpDelayMS"] = Dword(800);
  want[u"BatteryOnTop"] = Bin(1);
  for (const char16_t* firstOnly :
       {u"OffLCD", u"ACOffLCD", u"BlankScreen", u"ACBlankScreen", u"DigitalBattery"})
    want.erase(firstOnly);
  EXPECT_EQ(Store(), want);
}

TEST_F(SettingsTest, ValuesThatDoNotFitAreReplacedFromMemoryOrDefault) {
  ExistingStore();
  Set(u"AutoStart", Dword(0));                           // a flag as a DWORD
  Set(u"BlankStart", {REG_BINARY, {}});                  // empty: reads as 0
  Set(u"WakeUpDelayMS", {REG_BINARY, {1, 2, 3, 4, 5}});  // five bytes
  Set(u"DelayBootUpMS", {REG_BINARY, {0x10, 0x27}});     // two bytes: 10000
  Set(u"DateFormat", Sz(std::u16string(131, u'd')));     // longer than 130
  Set(u"TimeFormat", Sz(std::u16string(130, u'H')));     // fits exactly, no NUL
  Set(u"ClockPath", {REG_SZ, Utf16(std::u16string(u"skins\\a\\") + u'\0')});
  Set(u"Wallpaper", Sz(u"\\a.jpg" + std::u16string(255, u'x')));  // 261 characters
  StartProbe();
  settings::Settings mem = Load();

  EXPECT_EQ(Value(u"AutoStart"), Bin(1));
  EXPECT_EQ(mem.AutoStart, 1);
  EXPECT_EQ(mem.BlankStart, 0);
  EXPECT_EQ(Value(u"BlankStart"), (sim::RegValue{REG_BINARY, {}}));
  EXPECT_EQ(Value(u"WakeUpDelayMS"), Dword(500));
  EXPECT_EQ(mem.DelayBootUpMS, 10000u);
  EXPECT_EQ(Value(u"DateFormat"), Sz(u"dddd', 'd MMMM"));
  EXPECT_EQ(Value(u"TimeFormat"), Sz(std::u16string(130, u'H')));
  EXPECT_EQ(Value(u"ClockPath")->bytes.size(), 18u);
  EXPECT_EQ(Value(u"Wallpaper"), Sz(u""));
  EXPECT_EQ(TextOf(mem.Wallpaper), u"");
}

TEST_F(SettingsTest, RulesActInMemoryWhileTheStoreKeepsTheUsersValues) {
  dev.files().AddFile(u"\\Program Files\\Vurl\\fenk.exe");
  ExistingStore();
  const std::vector<std::pair<std::u16string, sim::RegValue>> stored = {
      {u"CallerIDKeyDelay", Dword(10)},
      {u"DelayUnknownCallerMS", Dword(1000)},
      {u"ShowAppointment", Bin(9)},
      {u"AppointmentDays", Bin(200)},
      {u"VolumeControl", Bin(0)},
      {u"NoKeyBoardHook", Bin(0)},
      {u"LockNotification", Bin(0)},
      {u"ShowEmailPreview", Bin(1)},
      {u"ShowSMSPreview", Bin(1)},
      {u"ShowMMSPreview", Bin(1)},
      {u"HPstartFenk", Bin(0)},
      {u"HPcloseFenk", Bin(2)},
      {u"CallerID", Bin(0)},
      {u"DialedID", Bin(1)},
  };
  for (const auto& [name, value] : stored) Set(name, value);
  StartProbe();
  settings::Settings mem = Load();

  EXPECT_EQ(mem.CallerIDKeyDelay, 70u);
  EXPECT_EQ(mem.DelayUnknownCallerMS, 4000u);
  EXPECT_EQ(mem.ShowAppointment, 6);
  EXPECT_EQ(mem.AppointmentDays, 100);
  EXPECT_EQ(mem.NoKeyBoardHook, 1);
  EXPECT_EQ(mem.ShowEmailPreview + mem.ShowSMSPreview + mem.ShowMMSPreview, 0);
  EXPECT_EQ(mem.HPcloseFenk, 0);
  EXPECT_EQ(mem.DialedID, 0);
  for (const auto& [name, value] : stored) EXPECT_EQ(Value(name), value) << platform::U8(name);
}

TEST_F(SettingsTest, RulesLeaveValuesInRangeAlone) {
  dev.files().AddFile(u"\\Program Files\\Vurl\\fenk.exe");
  ExistingStore();
  Set(u"CallerIDKeyDelay", Dword(71));
  Set(u"DelayUnknownCallerMS", Dword(0xFFFFFFFFu));  // unsigned: not below 4000
  Set(u"ShowAppointment", Bin(6));
  Set(u"AppointmentDays", Bin(100));
  Set(u"VolumeControl", Bin(1));
  Set(u"NoKeyBoardHook", Bin(0));
  Set(u"LockNotification", Bin(1));
  Set(u"ShowSMSPreview", Bin(1));
  Set(u"HPcloseFenk", Bin(2));
  Set(u"CallerID", Bin(1));
  Set(u"DialedID", Bin(1));
  StartProbe();
  settings::Settings mem = Load();
  EXPECT_EQ(mem.CallerIDKeyDelay, 71u);
  EXPECT_EQ(mem.DelayUnknownCallerMS, 0xFFFFFFFFu);
  EXPECT_EQ(mem.ShowAppointment, 6);
  EXPECT_EQ(mem.AppointmentDays, 100);
  EXPECT_EQ(mem.NoKeyBoardHook, 0);
  EXPECT_EQ(mem.ShowSMSPreview, 1);
  EXPECT_EQ(mem.HPstartFenk, 1);
  EXPECT_EQ(mem.HPcloseFenk, 2);
  EXPECT_EQ(mem.DialedID, 1);
}

TEST_F(SettingsTest, ValueDeletedWhileRunningComesBackWithTheValueInMemory) {
  ExistingStore();
  Set(u"WakeUpDelayMS", Dword(800));
  Set(u"StylusInLock", Bin(1));
  Set(u"CallerIDKeyDelay", Dword(90));
  StartProbe();
  Load();
  dev.registry().DeleteValue(kStore, u"WakeUpDelayMS");
  dev.registry().DeleteValue(kStore, u"StylusInLock");
  dev.registry().DeleteValue(kStore, u"BatteryOnTop");
  dev.registry().DeleteValue(kStore, u"CallerIDKeyDelay");
  settings::Settings mem = Load();
  EXPECT_EQ(Value(u"WakeUpDelayMS"), Dword(800));
  EXPECT_EQ(Value(u"StylusInLock"), Bin(1));
  EXPECT_EQ(Value(u"BatteryOnTop"), Bin(1));
  // Never written: memory keeps the last value read.
  EXPECT_FALSE(Value(u"CallerIDKeyDelay"));
  EXPECT_EQ(mem.CallerIDKeyDelay, 90u);
  EXPECT_EQ(mem.WakeUpDelayMS, 800u);
}

TEST_F(SettingsTest, TheSettingsEditorsMessageReloadsTheRunningDaemon) {
  ExistingStore();
  Set(u"WakeUpDelayMS", Dword(800));
  StartDaemon();
  HWND daemon = dev.windows().Find(u"Dorvane2", u"Dorvane2");
  ASSERT_NE(daemon, 0u);
  dev.registry().DeleteValue(kStore, u"WakeUpDelayMS");
  dev.registry().DeleteValue(kStore, u"BatteryOnTop");
  PostMessageW(daemon, core::kMsgRefreshSetting, 0, 0);
  ASSERT_TRUE(dev.RunUntilIdle()) << dev.Failure();
  EXPECT_EQ(Value(u"WakeUpDelayMS"), Dword(800));
  EXPECT_EQ(Value(u"BatteryOnTop"), Bin(1));
}

TEST_F(SettingsTest, WallpaperChangesStopOnlyBetweenTwoSinglePictures) {
  dev.files().AddFile(u"\\My Documents\\a.JPG");
  dev.files().AddFile(u"\\My Documents\\b.gif");
  dev.files().AddFile(u"\\My Documents\\Pictures\\c.png");
  ExistingStore();
  StartProbe();
  auto changeTime = [&](std::u16string_view portrait, std::u16string_view landscape,
                        uint8_t stored = 5) {
    Set(u"WallpaperChangeTime", Bin(stored));
    Set(u"Wallpaper", Sz(portrait));
    Set(u"WallpaperL", Sz(landscape));
    int minutes = Load().WallpaperChangeTime;
    EXPECT_EQ(Value(u"WallpaperChangeTime"), Bin(stored));
    return minutes;
  };
  EXPECT_EQ(changeTime(u"\\My Documents\\a.JPG", u"\\My Documents\\b.gif"), 0);
  EXPECT_EQ(changeTime(u"\\My Documents\\a.JPG", u"\\My Documents\\b.gif", 1), 0);
  EXPECT_EQ(changeTime(u"\\My Documents\\a.JPG", u"\\My Documents\\Pictures", 1), 1);
  EXPECT_EQ(changeTime(u"\\My Documents\\a.JPG", u"\\My Documents\\Pictures"), 5);
  EXPECT_EQ(changeTime(u"\\My Documents\\Pictures", u"\\My Documents\\b.gif"), 5);
  EXPECT_EQ(changeTime(u"\\x.BmP", u"\\y.pNg"), 0);
  EXPECT_EQ(changeTime(u"\\a.jpeg", u"\\b.gif"), 5);
  // A picture name that cannot be read counts as empty.
  Set(u"WallpaperChangeTime", Bin(5));
  Set(u"Wallpaper", Sz(u"\\a.JPG"));
  Set(u"WallpaperL", {REG_SZ, Utf16(std::u16string(300, u'x') + u".gif")});
  EXPECT_EQ(Load().WallpaperChangeTime, 5);
}

TEST_F(SettingsTest, IncomingTextFallsBackToThePhoneTitleThenToNothing) {
  ExistingStore();
  StartProbe();
  EXPECT_EQ(TextOf(Load().IncomingText), u"Nothing");
  // A title of one character is a title all the same.
  dev.registry().SetValue(u"HKCU\\ControlPanel\\Notifications\\Phone", u"Default", REG_SZ,
                          Utf16(std::u16string(u"P") + u'\0'));
  EXPECT_EQ(TextOf(Load().IncomingText), u"P");

  dev.registry().SetValue(u"HKCU\\ControlPanel\\Notifications\\Phone", u"Default", REG_SZ,
                          Utf16(std::u16string(u"Phone - Incoming") + u'\0'));
  EXPECT_EQ(TextOf(Load().IncomingText), u"Phone - Incoming");
  Set(u"IncomingText", Sz(u"Incoming..."));
  EXPECT_EQ(TextOf(Load().IncomingText), u"Incoming...");
  // An odd byte at the end is half a character, not a character.
  Set(u"IncomingText", {REG_SZ, {'I', 0, 'n', 0, 'c'}});
  EXPECT_EQ(TextOf(Load().IncomingText), u"In");
  Set(u"IncomingText", Sz(u""));
  EXPECT_EQ(TextOf(Load().IncomingText), u"Phone - Incoming");
  EXPECT_EQ(Value(u"IncomingText"), Sz(u""));
  // The longest text the store holds still ends with a NUL in memory.
  Set(u"IncomingText", Sz(std::u16string(260, u'T')));
  settings::Settings mem = Load();
  EXPECT_EQ(TextOf(mem.IncomingText), std::u16string(260, u'T'));
}

TEST_F(SettingsTest, OldSystemsAndMissingDisplayEscapeAreNoted) {
  ExistingStore();
  Set(u"IdleStart", Bin(1));
  Set(u"ACIdleStart", Bin(1));
  StartProbe();
  settings::Settings mem = Load();
  EXPECT_EQ(mem.OsMajorVersion, 5u);
  EXPECT_EQ(mem.IdleStart, 1);
  EXPECT_EQ(mem.DisplayPowerEscape, 1);
  EXPECT_TRUE(sim::SysInfo().openDCs.empty());

  dev.config().osMajor = 4;
  sim::SysInfo().displayEscape = false;
  mem = Load();
  EXPECT_EQ(mem.OsMajorVersion, 4u);
  EXPECT_EQ(mem.IdleStart + mem.ACIdleStart, 0);
  EXPECT_EQ(Value(u"IdleStart"), Bin(1));
  EXPECT_EQ(mem.DisplayPowerEscape, 0);

  // Without an answer the last known version stands; without a screen context, no escape.
  dev.config().osMajor = 6;
  sim::SysInfo().displayEscape = true;
  dev.faults().SetTarget(u"");
  dev.faults().Arm("GetVersionExW", {}, sim::Faults::kAlways);
  dev.faults().Arm("GetDC", {}, sim::Faults::kAlways);
  mem = Load();
  EXPECT_EQ(mem.OsMajorVersion, 4u);
  EXPECT_EQ(mem.DisplayPowerEscape, 0);
}

TEST_F(SettingsTest, WithoutTheMusicPanelProgramItIsNeitherStartedNorClosed) {
  ExistingStore();
  Set(u"DebugOn", Bin(1));
  Set(u"HPcloseFenk", Bin(1));
  StartProbe();
  settings::Settings mem = Load();
  EXPECT_EQ(mem.HPstartFenk + mem.HPcloseFenk, 0);
  EXPECT_EQ(Value(u"HPstartFenk"), Bin(1));
  EXPECT_TRUE(Logged(u"Fenk path: \\Program Files\\Fenk\\fenk.exe s=0 c=0"));

  dev.files().AddFile(u"\\Program Files\\Fenk\\fenk.exe");
  mem = Load();
  EXPECT_EQ(mem.HPstartFenk, 1);
  EXPECT_EQ(mem.HPcloseFenk, 1);
  EXPECT_TRUE(Logged(u"Fenk path: \\Program Files\\Fenk\\fenk.exe s=1 c=1"));
}

TEST_F(SettingsTest, DetailedLinesNeedDebugOn) {
  ExistingStore();
  StartProbe();
  Load();
  EXPECT_FALSE(Logged(u"Fenk path"));
  EXPECT_FALSE(Value(u"DebugOn"));
}

TEST(ImageNames, EndInAFullStopAndThreeLettersOfEitherCase) {
  struct Case {
    std::u16string_view name;
    bool bmp, jpg, png, gif;
  };
  const Case cases[] = {
      {u"a.bmp", 1, 0, 0, 0},
      {u"\\dir\\A.BMP", 1, 0, 0, 0},
      {u".JpG", 0, 1, 0, 0},
      {u"x.png", 0, 0, 1, 0},
      {u"x.GIF", 0, 0, 0, 1},
      {u"gif", 0, 0, 0, 0},
      {u"", 0, 0, 0, 0},
      {u"xgif", 0, 0, 0, 0},
      {u"a.gifs", 0, 0, 0, 0},
      {u"a.jpeg", 0, 0, 0, 0},
      {u"a.g\u00CDf", 0, 0, 0, 0},
      {u"a.bmp ", 0, 0, 0, 0},
      {u"folder.png\\", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    std::string name = platform::U8(c.name);
    EXPECT_EQ(settings::IsBmpFile(c.name), c.bmp) << name;
    EXPECT_EQ(settings::IsJpgFile(c.name), c.jpg) << name;
    EXPECT_EQ(settings::IsPngFile(c.name), c.png) << name;
    EXPECT_EQ(settings::IsGifFile(c.name), c.gif) << name;
  }
}

}  // namespace
