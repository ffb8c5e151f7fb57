// The cellular core's SIM manager: the SIM phonebook and its change notifications. Every call
// is a synchronous round trip to the radio and returns an HRESULT.
#pragma once

#include "platform/win_types.h"

using HSIM = HANDLE;

constexpr DWORD SIM_INIT_SIMCARD_NOTIFICATIONS = 1;
constexpr DWORD SIM_PBSTORAGE_SIM = 0x10;

constexpr DWORD SIM_NOTIFY_CARD_REMOVED = 0x100;
constexpr DWORD SIM_NOTIFY_PBE_STORED = 0x104;
constexpr DWORD SIM_NOTIFY_PBE_DELETED = 0x105;

constexpr DWORD SIM_PARAM_PBE_ADDRESS = 1;
constexpr DWORD SIM_PARAM_PBE_TEXT = 8;

constexpr HRESULT SIM_E_NOTREADY = static_cast<HRESULT>(0x88000060u);
constexpr HRESULT SIM_E_NOSIM = static_cast<HRESULT>(0x88000064u);
constexpr HRESULT SIM_E_INVALIDINDEX = static_cast<HRESULT>(0x88000341u);
constexpr HRESULT SIM_E_EMPTYINDEX = static_cast<HRESULT>(0x88000345u);

constexpr int MAX_LENGTH_ADDRESS = 256;
constexpr int MAX_LENGTH_PHONEBOOKENTRYTEXT = 256;

// 1040 bytes on the device.
struct SIMPHONEBOOKENTRY {
  DWORD cbSize;
  DWORD dwParams;
  WCHAR lpszAddress[MAX_LENGTH_ADDRESS];
  DWORD dwAddressType;
  DWORD dwNumPlan;
  WCHAR lpszText[MAX_LENGTH_PHONEBOOKENTRYTEXT];
};
static_assert(sizeof(SIMPHONEBOOKENTRY) == 1040);

// Data of SIM_NOTIFY_PBE_STORED / _DELETED.
struct SIMPBECHANGE {
  DWORD dwEntry;
  DWORD dwStorage;
};

// Runs on a thread of the SIM manager, not the thread that initialised.
using SIMCALLBACK = void (*)(DWORD notifyCode, const void* data, DWORD dataSize, DWORD param);

HRESULT SimInitialize(DWORD flags, SIMCALLBACK callback, DWORD param, HSIM* sim);
HRESULT SimDeinitialize(HSIM sim);
HRESULT SimGetPhonebookStatus(HSIM sim, DWORD location, DWORD* used, DWORD* total);
HRESULT SimReadPhonebookEntry(HSIM sim, DWORD location, DWORD index, SIMPHONEBOOKENTRY* entry);
