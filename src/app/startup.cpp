#include "app/startup.h"

#include "app/daemon_window.h"
#include "core/files.h"
#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "messaging/shell_services.h"
#include "platform/kernel.h"
#include "platform/library.h"
#include "platform/power.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "power/power_monitor.h"
#include "settings/settings.h"
#include "shellwin/incoming.h"
#include "shellwin/intercept.h"
#include "state/counters.h"
#include "state/reminders.h"
#include "state/subscriptions.h"
#include "state/timed_wakeups.h"

namespace app {

using namespace core;

using dlog::DebugLog;
using dlog::Detailed;

namespace {
constexpr WCHAR kNotifyEvent[] = u"Dorvane2Notify";
constexpr WCHAR kNotifyStopEvent[] = u"DorvaneNotifyStop";
constexpr DWORD kEarlyBootMs = 60000;

bool RegisterDaemonClass() {
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = &DaemonWindowProc;
  wc.lpszClassName = kDaemonClass;
  return RegisterClassW(&wc) != 0;
}

DWORD StateValue(HKEY root, const WCHAR* key, const WCHAR* name) {
  DWORD value = 0;
  if (FAILED(RegistryGetDWORD(root, key, name, &value))) return 0;
  return value;
}

void ReadPowerStatus() {
  SYSTEM_POWER_STATUS_EX status{};
  if (!GetSystemPowerStatusEx(&status, TRUE)) return;
  G().OnExternalPower = status.ACLineStatus != 0;
  G().BatteryPercent = status.BatteryLifePercent;
}

// The OEM text goes to the log as the line's format, as the device's own log does.
void LogOemInfo() {
  WCHAR oem[128] = {};
  if (!SystemParametersInfoW(SPI_GETOEMINFO, sizeof oem, oem, 0)) oem[0] = 0;
  DebugLog(std::u16string_view(oem));
}

bool InitInstance(HINSTANCE instance) {
  State& g = G();
  ReadPowerStatus();
  DebugLog(u"Dorvane2 v2.21");
  settings::S().VibrationLED = state::DetectVibrationLed();
  settings::LoadSettings();
  if (!dlog::FileExistsLogged(g.VurlPath.data())) return false;
  g.instance = instance;
  HWND hwnd = CreateWindowExW(0, kDaemonClass, kDaemonClass, WS_BORDER, -1, -1, 0, 0, 0, 0,
                              instance, nullptr);
  if (!hwnd) return false;
  ShowWindow(hwnd, SW_HIDE);
  g.BluetoothOn = StateValue(HKEY_LOCAL_MACHINE, u"System\\State\\Hardware", u"Bluetooth") & 1;
  g.ConnectionCount = StateValue(HKEY_LOCAL_MACHINE, u"System\\State\\Connections", u"Count");
  LogOemInfo();
  messaging::LoadShellServices();
  shellwin::ReadPhoneNotificationSettings();
  state::ClearTimerNotifications(kNotifyEvent, false);
  g.notifyEvent = CreateEventW(nullptr, TRUE, FALSE, kNotifyEvent);
  g.notifyStopEvent = CreateEventW(nullptr, TRUE, FALSE, kNotifyStopEvent);
  if (state::StartTimerEventListener(g.notifyEvent, g.notifyStopEvent) < 0) return false;
  state::AddSleepTimer(kNotifyEvent);
  g.TaskBarWindow = FindWindowW(u"HHTaskBar", nullptr);
  return true;
}

void InitialLock(HWND hwnd, bool showSwitch, bool earlyBoot) {
  if (showSwitch) {
    lock::AwakeSlideScreen(false, false);
    PostMessageW(hwnd, kMsgLock, 0, 0);
  } else if (earlyBoot && settings::S().PasswordLock) {
    SetTimer(hwnd, kTimerBootLock, settings::S().DelayBootUpMS, nullptr);
  } else {
    // A run that ended while locked leaves its slide screen shown and locked, and that screen
    // reports a lock only once: the new run takes the lock as "-show" would. With no slide
    // screen left, the task bar the ended run hid would stay hidden until the next unlock.
    HWND slide = FindWindowW(kSlideClass, kSlideClass);
    bool lockedScreen = slide && IsWindowVisible(slide) && !lock::IsPhoneBusy();
    lock::AwakeSlideScreen(false, true);
    if (lockedScreen)
      PostMessageW(hwnd, kMsgLock, 0, 0);
    else if (!slide)
      lock::UnHideTaskBar();
  }
}

void TakeOverIncomingWindow() {
  HWND incoming = shellwin::FindIncomingWindow();
  G().IncomingDialog = incoming;
  if (G().PhoneSkin)
    shellwin::ApplySkinHandling(incoming);
  else
    shellwin::MarkIncomingHandled(incoming);
  if (Detailed()) DebugLog(u"Incoming Wnd %0X", incoming);
}

void MessageLoop() {
  MSG msg;
  for (;;) {
    BOOL r = GetMessageW(&msg, 0, 0, 0);
    if (r == 0) return;
    if (r == -1) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Shutdown() {
  State& g = G();
  state::ClearTimerNotifications(kNotifyEvent, false);
  if (state::IsTimerListenerRunning()) state::StopTimerEventListener();
  CloseHandle(g.notifyEvent);
  CloseHandle(g.notifyStopEvent);
  messaging::UnloadShellServices();
  shellwin::RestoreSkinWindowProc();
  shellwin::UnsubclassNotifyWindow();
  shellwin::UnsubclassShellWindows();
}
}  // namespace

void RunDaemon(const std::u16string&, int, bool showSwitch) {
  dlog::OpenDebugLog(u"Dorvane2.log");
  // A failed start leaves whatever it made until the process ends; the log still gets its
  // closing line.
  if (!RegisterDaemonClass() || !InitInstance(GetModuleHandleW(nullptr))) {
    dlog::CloseDebugLog();
    return;
  }
  HWND hwnd = G().daemonWindow;
  power::StartUnattendedMode(false);
  DWORD tick = GetTickCount();
  bool earlyBoot = tick < kEarlyBootMs;
  DebugLog(u"Boot Tick %d", tick);
  // A slide screen that outlived an earlier daemon asked for the counters when it started, and
  // knows nothing of what changed while no daemon watched: it is told them all again.
  bool slideRan = lock::FindSlideScreen() != 0;
  InitialLock(hwnd, showSwitch, earlyBoot);
  SetTimer(hwnd, kTimerDeferredStart, earlyBoot ? settings::S().DelayBootUpMS.load() : 0, nullptr);
  state::ReadAllCounters();
  if (slideRan) state::SendAllCounters();
  G().PhoneSkin = state::IsPhoneSkinEnabled() == 1;
  if (settings::S().CallerID) TakeOverIncomingWindow();
  input::RestoreLongPressEndKey();
  state::RecoverReminderOptions();
  shellwin::SubclassNotifyWindow();
  MessageLoop();
  Shutdown();
  dlog::CloseDebugLog();
}

}  // namespace app
