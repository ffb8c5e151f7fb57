// Handlers of the daemon window's private messages. Each takes (window, wParam, lParam); the
// window procedure answers 1 for every one of them.
#pragma once

#include "platform/win_types.h"

namespace app {

// State-store messages and counters.
void OnForward(HWND, UINT msg, WPARAM wParam);
void OnPostToSlide(HWND, UINT msg, WPARAM wParam);
void OnMissedCalls(HWND, WPARAM wParam, LPARAM);
void OnUnreadSms(HWND, WPARAM wParam, LPARAM);
void OnUnreadMms(HWND, WPARAM wParam, LPARAM);
void OnVoiceMail(HWND, WPARAM wParam, LPARAM);
void OnUnreadEmail(HWND, WPARAM wParam, LPARAM);
void OnAppointmentChanged(HWND, WPARAM, LPARAM);
void OnTaskCount(HWND, WPARAM wParam, LPARAM);
void OnBluetooth(HWND, WPARAM wParam, LPARAM);
void OnBtHeadphone(HWND, WPARAM wParam, LPARAM);
void OnBtMsHeadphone(HWND, WPARAM wParam, LPARAM);
void OnBtStereo(HWND, WPARAM wParam, LPARAM);
void OnHeadphone(HWND, WPARAM wParam, LPARAM);
void OnConnectionCount(HWND, WPARAM wParam, LPARAM);
void OnMailStorage(HWND, WPARAM, LPARAM);
void OnMessengerUnread(HWND, WPARAM wParam, LPARAM);
void OnNetwork(HWND, WPARAM wParam, LPARAM);
void OnSyncing(HWND, WPARAM wParam, LPARAM);
void OnMusicStatus(HWND, WPARAM wParam, LPARAM);
void OnMusicVolume(HWND, WPARAM wParam, LPARAM);
void OnSystemLock(HWND, WPARAM wParam, LPARAM);
void OnStylus(HWND, WPARAM wParam, LPARAM);
void OnCallerProperty(HWND, WPARAM wParam, LPARAM);
void OnIncomingName(HWND, WPARAM wParam, LPARAM);
void OnReminders(HWND, WPARAM, LPARAM);
void OnActiveReminders(HWND, WPARAM, LPARAM);
void OnPoomItem(HWND, UINT msg, LPARAM folder);

// Requests from the slide screen and other programs.
void OnOffDisplay(HWND, WPARAM, LPARAM);
void OnPowerOff(HWND, WPARAM, LPARAM);
void OnPhoneKey(HWND, WPARAM wParam, LPARAM);
void OnPowerOffRequest(HWND, WPARAM, LPARAM);
void OnSlideReady(HWND, WPARAM, LPARAM);
void OnCloseAll(HWND, WPARAM, LPARAM);
void OnCallKey(HWND, WPARAM wParam, LPARAM);
void OnBatteryTo(HWND, WPARAM wParam, LPARAM);
void OnStopWallpaper(HWND, WPARAM, LPARAM);
void OnRefreshSetting(HWND, WPARAM, LPARAM);
void OnVolumePanel(HWND, WPARAM wParam, LPARAM);
void OnOpenPreview(HWND, WPARAM wParam, LPARAM);
void OnMarkPreviewRead(HWND, WPARAM wParam, LPARAM);
void OnDial(HWND, WPARAM wParam, LPARAM);
void OnShutDown(HWND, WPARAM, LPARAM);
void OnAddSleepTimer(HWND, WPARAM, LPARAM);
void OnSettingChange(HWND, WPARAM wParam, LPARAM);

}  // namespace app
