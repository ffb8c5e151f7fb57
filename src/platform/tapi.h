// The telephony line interface (TAPI 2.0): the calls, records and constants the daemon uses.
// Records keep the device's 32-bit layouts; their variable parts follow the fixed part and are
// found by offset and size from the record's start.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

using HLINEAPP = DWORD;
using HLINE = DWORD;
using HCALL = DWORD;

using LINECALLBACK = void (*)(DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR param1,
                              DWORD_PTR param2, DWORD_PTR param3);

constexpr LONG kLineErr(DWORD low) {
  return static_cast<LONG>(0x80000000u | low);
}
constexpr LONG LINEERR_BADDEVICEID = kLineErr(0x02);
constexpr LONG LINEERR_INCOMPATIBLEAPIVERSION = kLineErr(0x0C);
constexpr LONG LINEERR_INVALCALLHANDLE = kLineErr(0x18);
constexpr LONG LINEERR_INVALCALLSTATE = kLineErr(0x1C);
constexpr LONG LINEERR_INVALLINEHANDLE = kLineErr(0x2B);
constexpr LONG LINEERR_INVALAPPHANDLE = kLineErr(0x15);
constexpr LONG LINEERR_INVALPOINTER = kLineErr(0x35);
constexpr LONG LINEERR_NODEVICE = kLineErr(0x42);
constexpr LONG LINEERR_NOMEM = kLineErr(0x44);
constexpr LONG LINEERR_NOTOWNER = kLineErr(0x46);
constexpr LONG LINEERR_OPERATIONFAILED = kLineErr(0x48);
constexpr LONG LINEERR_STRUCTURETOOSMALL = kLineErr(0x4D);
constexpr LONG LINEERR_REINIT = kLineErr(0x52);

constexpr DWORD LINEINITIALIZEEXOPTION_USEHIDDENWINDOW = 1;
constexpr DWORD LINEINITIALIZEEXOPTION_USEEVENT = 2;

constexpr DWORD LINE_CALLINFO = 1;
constexpr DWORD LINE_CALLSTATE = 2;
constexpr DWORD LINE_CLOSE = 3;
constexpr DWORD LINE_LINEDEVSTATE = 8;
constexpr DWORD LINE_REPLY = 12;

constexpr DWORD LINECALLSTATE_IDLE = 0x1;
constexpr DWORD LINECALLSTATE_OFFERING = 0x2;
constexpr DWORD LINECALLSTATE_ACCEPTED = 0x4;
constexpr DWORD LINECALLSTATE_DIALTONE = 0x8;
constexpr DWORD LINECALLSTATE_DIALING = 0x10;
constexpr DWORD LINECALLSTATE_RINGBACK = 0x20;
constexpr DWORD LINECALLSTATE_BUSY = 0x40;
constexpr DWORD LINECALLSTATE_SPECIALINFO = 0x80;
constexpr DWORD LINECALLSTATE_CONNECTED = 0x100;
constexpr DWORD LINECALLSTATE_PROCEEDING = 0x200;
constexpr DWORD LINECALLSTATE_ONHOLD = 0x400;
constexpr DWORD LINECALLSTATE_DISCONNECTED = 0x4000;

constexpr DWORD LINEDISCONNECTMODE_NORMAL = 0x1;
constexpr DWORD LINEDISCONNECTMODE_REJECT = 0x4;
constexpr DWORD LINEDISCONNECTMODE_BUSY = 0x20;

// LINE_LINEDEVSTATE: the server wants every application to shut down and initialise again.
constexpr DWORD LINEDEVSTATE_REINIT = 0x00040000;

constexpr DWORD LINECALLINFOSTATE_MEDIAMODE = 0x10;
constexpr DWORD LINECALLINFOSTATE_CALLERID = 0x8000;

constexpr DWORD LINECALLPARTYID_BLOCKED = 0x1;
constexpr DWORD LINECALLPARTYID_OUTOFAREA = 0x2;
constexpr DWORD LINECALLPARTYID_ADDRESS = 0x8;
constexpr DWORD LINECALLPARTYID_UNKNOWN = 0x20;
constexpr DWORD LINECALLPARTYID_UNAVAIL = 0x40;

constexpr DWORD LINECALLPRIVILEGE_NONE = 1;
constexpr DWORD LINECALLPRIVILEGE_MONITOR = 2;
constexpr DWORD LINECALLPRIVILEGE_OWNER = 4;

constexpr DWORD LINEMEDIAMODE_UNKNOWN = 0x2;
constexpr DWORD LINEMEDIAMODE_INTERACTIVEVOICE = 0x4;
constexpr DWORD LINEMEDIAMODE_AUTOMATEDVOICE = 0x8;
constexpr DWORD LINEMEDIAMODE_DATAMODEM = 0x10;

constexpr DWORD LINEBEARERMODE_VOICE = 1;
constexpr DWORD LINECALLPARAMFLAGS_IDLE = 2;
constexpr DWORD LINEADDRESSMODE_DIALABLEADDR = 2;
constexpr DWORD STRINGFORMAT_UNICODE = 3;

struct LINEINITIALIZEEXPARAMS {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwOptions;
  HANDLE hEvent;
  DWORD dwCompletionKey;
};

struct LINEEXTENSIONID {
  DWORD dwExtensionID0, dwExtensionID1, dwExtensionID2, dwExtensionID3;
};

struct LINEDEVCAPS {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwProviderInfoSize;
  DWORD dwProviderInfoOffset;
  DWORD dwSwitchInfoSize;
  DWORD dwSwitchInfoOffset;
  DWORD dwPermanentLineID;
  DWORD dwLineNameSize;
  DWORD dwLineNameOffset;
  DWORD dwStringFormat;
  DWORD dwAddressModes;
  DWORD dwNumAddresses;
  DWORD dwBearerModes;
  DWORD dwMaxRate;
  DWORD dwMediaModes;
  DWORD dwRest[57];  // tones, terminals, devspecific...: not used by the daemon
};

struct LINECALLINFO {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  HLINE hLine;
  DWORD dwLineDeviceID;
  DWORD dwAddressID;
  DWORD dwBearerMode;
  DWORD dwRate;
  DWORD dwMediaMode;
  DWORD dwAppSpecific;
  DWORD dwCallID;
  DWORD dwRelatedCallID;
  DWORD dwCallParamFlags;
  DWORD dwCallStates;
  DWORD dwMonitorDigitModes;
  DWORD dwMonitorMediaModes;
  DWORD dwDialParams[4];
  DWORD dwOrigin;
  DWORD dwReason;
  DWORD dwCompletionID;
  DWORD dwNumOwners;
  DWORD dwNumMonitors;
  DWORD dwCountryCode;
  DWORD dwTrunk;
  DWORD dwCallerIDFlags;
  DWORD dwCallerIDSize;
  DWORD dwCallerIDOffset;
  DWORD dwCallerIDNameSize;
  DWORD dwCallerIDNameOffset;
  DWORD dwPartyIDs[20];  // called, connected, redirection, redirecting: flags, sizes, offsets
  DWORD dwAppNameSize;
  DWORD dwAppNameOffset;
  DWORD dwRest[28];  // displayable address ... receiving flowspec
};

struct LINETRANSLATEOUTPUT {
  DWORD dwTotalSize;
  DWORD dwNeededSize;
  DWORD dwUsedSize;
  DWORD dwDialableStringSize;
  DWORD dwDialableStringOffset;
  DWORD dwDisplayableStringSize;
  DWORD dwDisplayableStringOffset;
  DWORD dwCurrentCountry;
  DWORD dwDestCountry;
  DWORD dwTranslateResults;
};

struct LINECALLPARAMS {
  DWORD dwTotalSize;
  DWORD dwBearerMode;
  DWORD dwMinRate;
  DWORD dwMaxRate;
  DWORD dwMediaMode;
  DWORD dwCallParamFlags;
  DWORD dwAddressMode;
  DWORD dwAddressID;
  DWORD dwDialParams[4];
  DWORD dwOrigAddressSize;
  DWORD dwOrigAddressOffset;
  DWORD dwDisplayableAddressSize;
  DWORD dwDisplayableAddressOffset;
  DWORD dwRest[29];  // called party, comment, user-user info, ... device-specific
};

static_assert(sizeof(LINEINITIALIZEEXPARAMS) == 24);
static_assert(sizeof(LINEDEVCAPS) == 292 && offsetof(LINEDEVCAPS, dwMediaModes) == 60);
static_assert(sizeof(LINECALLINFO) == 328 && offsetof(LINECALLINFO, dwCallerIDFlags) == 108 &&
              offsetof(LINECALLINFO, dwAppNameSize) == 208);
static_assert(sizeof(LINETRANSLATEOUTPUT) == 40);
static_assert(sizeof(LINECALLPARAMS) == 180 &&
              offsetof(LINECALLPARAMS, dwDisplayableAddressSize) == 56);

LONG lineInitializeEx(HLINEAPP* lineApp, HINSTANCE instance, LINECALLBACK callback,
                      LPCWSTR friendlyAppName, DWORD* numDevs, DWORD* apiVersion,
                      LINEINITIALIZEEXPARAMS* params);
LONG lineShutdown(HLINEAPP lineApp);
LONG lineNegotiateAPIVersion(HLINEAPP lineApp, DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                             DWORD* apiVersion, LINEEXTENSIONID* extensionId);
LONG lineGetDevCaps(HLINEAPP lineApp, DWORD deviceId, DWORD apiVersion, DWORD extVersion,
                    LINEDEVCAPS* caps);
LONG lineOpen(HLINEAPP lineApp, DWORD deviceId, HLINE* line, DWORD apiVersion, DWORD extVersion,
              DWORD_PTR callbackInstance, DWORD privileges, DWORD mediaModes,
              const LINECALLPARAMS* callParams);
LONG lineClose(HLINE line);
LONG lineGetCallInfo(HCALL call, LINECALLINFO* info);
LONG lineSetCallPrivilege(HCALL call, DWORD privilege);
// Asynchronous: a positive request id, answered later by LINE_REPLY.
LONG lineDrop(HCALL call, const char* userUserInfo, DWORD size);
LONG lineDeallocateCall(HCALL call);
LONG lineTranslateAddress(HLINEAPP lineApp, DWORD deviceId, DWORD apiVersion, LPCWSTR address,
                          DWORD card, DWORD options, LINETRANSLATEOUTPUT* output);
// Asynchronous: *call is valid only once LINE_REPLY reports success.
LONG lineMakeCall(HLINE line, HCALL* call, LPCWSTR destAddress, DWORD countryCode,
                  const LINECALLPARAMS* callParams);
