// Message and timer numbers of the daemon window and of what it sends to its companions.
#pragma once

#include <optional>
#include <string_view>

#include "platform/win_types.h"

namespace core {

constexpr WCHAR kDaemonClass[] = u"Dorvane2";
constexpr WCHAR kSlideClass[] = u"Vurl";
constexpr WCHAR kMusicPanelClass[] = u"Fenk";

// Private messages (WM_APP + offset), received and sent: one row each, with the name trace
// lines and scenarios know it by (kMsgCaller is "Caller").
#define DV_PRIVATE_MESSAGES(X)                                               \
  X(FindSlide, 32769)                                                        \
  X(OffDisplay, 32770)                                                       \
  X(Battery, 32771)                                                          \
  X(BroadcastBattery, 32772)                                                 \
  X(PowerOff, 32773)                                                         \
  X(PhoneKey, 32774)                                                         \
  X(PowerOffRequest, 32775)                                                  \
  X(CallEnded, 32776)                                                        \
  X(SlideReady, 32777)                                                       \
  X(Signal, 32778)                                                           \
  X(MissedCalls, 32779)                                                      \
  X(UnreadSms, 32780)                                                        \
  X(UnreadMms, 32781)                                                        \
  X(VoiceMail, 32782)                                                        \
  X(UnreadEmail, 32783)                                                      \
  X(AppointmentChanged, 32784)                                               \
  X(Talking, 32785)                                                          \
  X(Incoming, 32786)                                                         \
  X(Operator, 32787)                                                         \
  X(CloseAll, 32788)                                                         \
  X(NextAlarm, 32790)                                                        \
  X(BackgroundStart, 32791)                                                  \
  X(Unlock, 32792)                                                           \
  X(Lock, 32793)                                                             \
  X(Dialing, 32794)                                                          \
  X(TaskCount, 32796)                                                        \
  X(CallKey, 32797)                                                          \
  X(NotificationMode, 32798)                                                 \
  X(Bluetooth, 32799)                                                        \
  X(Wifi, 32800)                                                             \
  X(Caller, 32801)                                                           \
  X(BatteryState, 32802)                                                     \
  X(AllCounters, 32803)                                                      \
  X(BatteryTo, 32804)                                                        \
  X(CallDisconnected, 32805)                                                 \
  X(ChangeWallpaper, 32806)                                                  \
  X(BtHeadphone, 32807)                                                      \
  X(DolmBattery, 32808)                                                      \
  X(StopWallpaper, 32809)                                                    \
  X(WallpaperValues, 32810)                                                  \
  X(RefreshSetting, 32811)                                                   \
  X(ConnectionCount, 32812)                                                  \
  X(MusicTitle, 32813)                                                       \
  X(MusicAlbum, 32814)                                                       \
  X(MusicStatus, 32815)                                                      \
  X(MusicVolume, 32816)                                                      \
  X(Weather, 32817)                                                          \
  X(AddListener, 32818)                                                      \
  X(RemoveListener, 32819)                                                   \
  X(BtMsHeadphone, 32820)                                                    \
  X(StylusLock, 32821)                                                       \
  X(MailStorage, 32822)                                                      \
  X(MessengerUnread, 32823)                                                  \
  X(VolumePanel, 32824)                                                      \
  X(CallerNumber, 32826)                                                     \
  X(CallerName, 32827)                                                       \
  X(InCallLock, 32828)                                                       \
  X(Vibrate, 32829)                                                          \
  X(TalkingState, 32830)                                                     \
  X(DialingState, 32831)                                                     \
  X(CallForwarding, 32832)                                                   \
  X(Network, 32834)                                                          \
  X(Syncing, 32835)                                                          \
  X(SystemLock, 32836)                                                       \
  X(Owner, 32837)                                                            \
  X(AppointmentsExported, 32838) /* to the slide screen after each export */ \
  X(Stylus, 32839)                                                           \
  X(UnhideTaskBar, 32840)                                                    \
  X(LockState, 32841)                                                        \
  X(PasswordState, 32842)                                                    \
  X(BackgroundLocked, 32843)                                                 \
  X(CallerProperty, 32844)                                                   \
  X(PowerHangUp, 32845)                                                      \
  X(CallLock, 32846)                                                         \
  X(Headphone, 32847)                                                        \
  X(BtStereo, 32848)                                                         \
  X(Reminders, 32849)                                                        \
  X(Password, 32850)                                                         \
  X(ReminderShown, 32851)                                                    \
  X(NewMessageWake, 32852)                                                   \
  X(IncomingName, 32853)                                                     \
  X(RepeatLock, 32854)                                                       \
  X(ActiveReminders, 32855)                                                  \
  X(OpenPreview, 32856)                                                      \
  X(KeyTone, 32857)                                                          \
  X(CallDropped, 32858)                                                      \
  X(SuppressDial, 32859)                                                     \
  X(Dial, 32860)                                                             \
  X(Busy, 32862)                                                             \
  X(SdFlag, 32863)                                                           \
  X(ShutDown, 32864)                                                         \
  X(AddSleepTimer, 32865)                                                    \
  X(MarkPreviewRead, 32866)                                                  \
  X(PoomCreated, 33029)                                                      \
  X(PoomDeleted, 33030)                                                      \
  X(PoomChanged, 33031)                                                      \
  /* end */

#define DV_MESSAGE_CONSTANT(name, number) constexpr UINT kMsg##name = number;
DV_PRIVATE_MESSAGES(DV_MESSAGE_CONSTANT)
#undef DV_MESSAGE_CONSTANT

// The name of a message of the daemon and its companions ("Caller" for 32801), or of a standard
// window message they use ("WM_CLOSE"); nullptr for any other number.
const char* MessageName(UINT msg);
// The number of a name MessageName gives (any case), or nothing.
std::optional<UINT> MessageByName(std::string_view name);

// Timers of the daemon window.
constexpr UINT kTimerSlideStarted = 1025;
constexpr UINT kTimerRestartSlide = 1027;
constexpr UINT kTimerUnknownCaller = 1029;
constexpr UINT kTimerDropTopmost = 1030;
constexpr UINT kTimerReopenLine = 1031;
constexpr UINT kTimerWallpaper = 1032;
constexpr UINT kTimerClose = 1033;
constexpr UINT kTimerWakeUpDelay = 1034;
constexpr UINT kTimerInCallLock = 1035;
constexpr UINT kTimerRefreshAppointments = 1036;
constexpr UINT kTimerDelayedUnlock = 1037;
constexpr UINT kTimerHookLater = 1038;
constexpr UINT kTimerDeferredStart = 1039;
constexpr UINT kTimerMusicPanelFront = 1040;
constexpr UINT kTimerManilaRelease = 1041;
constexpr UINT kTimerReminders = 1042;
constexpr UINT kTimerPasswordRetry = 1043;
constexpr UINT kTimerEmailPreview = 1044;
constexpr UINT kTimerBackgroundStart = 1045;
constexpr UINT kTimerBootLock = 1046;
constexpr UINT kTimerSleepTimer = 1047;
constexpr UINT kTimerStopUnattended = 1049;

// Outlook folders named in object-model notifications.
constexpr LPARAM kFolderCalendar = 9;
constexpr LPARAM kFolderTasks = 13;

}  // namespace core
