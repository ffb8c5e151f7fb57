// The notification LED driver. By device convention the last LED drives the vibration motor.
#pragma once

#include "platform/win_types.h"

constexpr UINT NLED_COUNT_INFO_ID = 0;
constexpr UINT NLED_SUPPORTS_INFO_ID = 1;
constexpr UINT NLED_SETTINGS_INFO_ID = 2;

struct NLED_COUNT_INFO {
  UINT cLeds;
};

constexpr int NLED_OFF = 0;
constexpr int NLED_ON = 1;
constexpr int NLED_BLINK = 2;

struct NLED_SETTINGS_INFO {
  UINT LedNum;
  int OffOnBlink;
  LONG TotalCycleTime;
  LONG OnTime;
  LONG OffTime;
  int MetaCycleOn;
  int MetaCycleOff;
};
static_assert(sizeof(NLED_SETTINGS_INFO) == 28);

BOOL NLedGetDeviceInfo(UINT infoId, void* output);
BOOL NLedSetDevice(UINT infoId, void* input);
