// Message and timer numbers of the daemon window and of what it sends to its companions.
#pragma once

#include "platform/win_types.h"

namespace core {

constexpr WCHAR kDaemonClass[] = u"Dorvane2";
constexpr WCHAR kSlideClass[] = u"Vurl";
constexpr WCHAR kMusicPanelClass[] = u"Fenk";

// Private messages (WM_APP + offset), received and sent.
constexpr UINT kMsgFindSlide = 32769;
constexpr UINT kMsgOffDisplay = 32770;
constexpr UINT kMsgBattery = 32771;
constexpr UINT kMsgBroadcastBattery = 32772;
constexpr UINT kMsgPowerOff = 32773;
constexpr UINT kMsgPhoneKey = 32774;
constexpr UINT kMsgPowerOffRequest = 32775;
constexpr UINT kMsgCallEnded = 32776;
constexpr UINT kMsgSlideReady = 32777;
constexpr UINT kMsgSignal = 32778;
constexpr UINT kMsgMissedCalls = 32779;
constexpr UINT kMsgUnreadSms = 32780;
constexpr UINT kMsgUnreadMms = 32781;
constexpr UINT kMsgVoiceMail = 32782;
constexpr UINT kMsgUnreadEmail = 32783;
constexpr UINT kMsgAppointmentChanged = 32784;
constexpr UINT kMsgTalking = 32785;
constexpr UINT kMsgIncoming = 32786;
constexpr UINT kMsgOperator = 32787;
constexpr UINT kMsgCloseAll = 32788;
constexpr UINT kMsgNextAlarm = 32790;
constexpr UINT kMsgBackgroundStart = 32791;
constexpr UINT kMsgUnlock = 32792;
constexpr UINT kMsgLock = 32793;
constexpr UINT kMsgDialing = 32794;
constexpr UINT kMsgTaskCount = 32796;
constexpr UINT kMsgCallKey = 32797;
constexpr UINT kMsgNotificationMode = 32798;
constexpr UINT kMsgBluetooth = 32799;
constexpr UINT kMsgWifi = 32800;
constexpr UINT kMsgCaller = 32801;
constexpr UINT kMsgBatteryState = 32802;
constexpr UINT kMsgAllCounters = 32803;
constexpr UINT kMsgBatteryTo = 32804;
constexpr UINT kMsgCallDisconnected = 32805;
constexpr UINT kMsgChangeWallpaper = 32806;
constexpr UINT kMsgBtHeadphone = 32807;
constexpr UINT kMsgDolmBattery = 32808;
constexpr UINT kMsgStopWallpaper = 32809;
constexpr UINT kMsgWallpaperValues = 32810;
constexpr UINT kMsgRefreshSetting = 32811;
constexpr UINT kMsgConnectionCount = 32812;
constexpr UINT kMsgMusicTitle = 32813;
constexpr UINT kMsgMusicAlbum = 32814;
constexpr UINT kMsgMusicStatus = 32815;
constexpr UINT kMsgMusicVolume = 32816;
constexpr UINT kMsgWeather = 32817;
constexpr UINT kMsgAddListener = 32818;
constexpr UINT kMsgRemoveListener = 32819;
constexpr UINT kMsgBtMsHeadphone = 32820;
constexpr UINT kMsgStylusLock = 32821;
constexpr UINT kMsgMailStorage = 32822;
constexpr UINT kMsgMessengerUnread = 32823;
constexpr UINT kMsgVolumePanel = 32824;
constexpr UINT kMsgCallerNumber = 32826;
constexpr UINT kMsgCallerName = 32827;
constexpr UINT kMsgInCallLock = 32828;
constexpr UINT kMsgVibrate = 32829;
constexpr UINT kMsgTalkingState = 32830;
constexpr UINT kMsgDialingState = 32831;
constexpr UINT kMsgCallForwarding = 32832;
constexpr UINT kMsgNetwork = 32834;
constexpr UINT kMsgSyncing = 32835;
constexpr UINT kMsgSystemLock = 32836;
constexpr UINT kMsgOwner = 32837;
constexpr UINT kMsgAppointmentsExported = 32838;  // to the slide screen after each export
constexpr UINT kMsgStylus = 32839;
constexpr UINT kMsgUnhideTaskBar = 32840;
constexpr UINT kMsgLockState = 32841;
constexpr UINT kMsgPasswordState = 32842;
constexpr UINT kMsgBackgroundLocked = 32843;
constexpr UINT kMsgCallerProperty = 32844;
constexpr UINT kMsgPowerHangUp = 32845;
constexpr UINT kMsgCallLock = 32846;
constexpr UINT kMsgHeadphone = 32847;
constexpr UINT kMsgBtStereo = 32848;
constexpr UINT kMsgReminders = 32849;
constexpr UINT kMsgPassword = 32850;
constexpr UINT kMsgReminderShown = 32851;
constexpr UINT kMsgNewMessageWake = 32852;
constexpr UINT kMsgIncomingName = 32853;
constexpr UINT kMsgRepeatLock = 32854;
constexpr UINT kMsgActiveReminders = 32855;
constexpr UINT kMsgOpenPreview = 32856;
constexpr UINT kMsgKeyTone = 32857;
constexpr UINT kMsgCallDropped = 32858;
constexpr UINT kMsgSuppressDial = 32859;
constexpr UINT kMsgDial = 32860;
constexpr UINT kMsgBusy = 32862;
constexpr UINT kMsgSdFlag = 32863;
constexpr UINT kMsgShutDown = 32864;
constexpr UINT kMsgAddSleepTimer = 32865;
constexpr UINT kMsgMarkPreviewRead = 32866;
constexpr UINT kMsgPoomCreated = 33029;
constexpr UINT kMsgPoomDeleted = 33030;
constexpr UINT kMsgPoomChanged = 33031;

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
