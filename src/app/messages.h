// Message and timer numbers of the daemon window and of what it sends to its companions.
#pragma once

#include "platform/win_types.h"

namespace app {

constexpr WCHAR kDaemonClass[] = u"Dorvane2";
constexpr WCHAR kSlideClass[] = u"Vurl";

// Private messages (WM_APP + offset).
constexpr UINT kMsgFindSlide = 32769;
constexpr UINT kMsgOffDisplay = 32770;
constexpr UINT kMsgBattery = 32771;
constexpr UINT kMsgBroadcastBattery = 32772;
constexpr UINT kMsgPowerOff = 32773;
constexpr UINT kMsgPhoneKey = 32774;
constexpr UINT kMsgPowerOffRequest = 32775;
constexpr UINT kMsgCallEnded = 32776;
constexpr UINT kMsgSlideReady = 32777;
constexpr UINT kMsgCloseAll = 32788;
constexpr UINT kMsgBackgroundStart = 32791;
constexpr UINT kMsgUnlock = 32792;
constexpr UINT kMsgLock = 32793;
constexpr UINT kMsgCaller = 32801;
constexpr UINT kMsgAllCounters = 32803;
constexpr UINT kMsgChangeWallpaper = 32806;
constexpr UINT kMsgRefreshSetting = 32811;
constexpr UINT kMsgStylusLock = 32821;
constexpr UINT kMsgLockState = 32841;
constexpr UINT kMsgPassword = 32850;

// Timers of the daemon window.
constexpr UINT kTimerSlideStarted = 1025;
constexpr UINT kTimerRestartSlide = 1027;
constexpr UINT kTimerClose = 1033;
constexpr UINT kTimerDeferredStart = 1039;
constexpr UINT kTimerPasswordRetry = 1043;
constexpr UINT kTimerBootLock = 1046;
constexpr UINT kTimerStopUnattended = 1049;

}  // namespace app
