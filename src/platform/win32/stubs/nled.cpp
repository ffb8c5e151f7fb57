// The notification LED driver is a device driver: no LED can be counted or switched, so the
// daemon finds no vibration motor.
#include "platform/nled.h"

#include "platform/win32/stubs/stub.h"

using win32::Unavailable;

BOOL NLedGetDeviceInfo(UINT, void*) {
  return Unavailable();
}
BOOL NLedSetDevice(UINT, void*) {
  return Unavailable();
}
