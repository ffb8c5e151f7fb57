// Telephony runs only on a device with a radio: the line interface cannot be initialised, and
// every other call reports the handle it was given as unknown.
#include "platform/tapi.h"

namespace {

template <class T>
void Clear(T* out) {
  if (out) *out = T{};
}

}  // namespace

LONG lineInitializeEx(HLINEAPP* lineApp, HINSTANCE, LINECALLBACK, LPCWSTR, DWORD* numDevs, DWORD*,
                      LINEINITIALIZEEXPARAMS*) {
  Clear(lineApp);
  Clear(numDevs);
  return LINEERR_OPERATIONFAILED;
}
LONG lineShutdown(HLINEAPP) {
  return LINEERR_INVALAPPHANDLE;
}
LONG lineNegotiateAPIVersion(HLINEAPP, DWORD, DWORD, DWORD, DWORD* apiVersion,
                             LINEEXTENSIONID* extensionId) {
  Clear(apiVersion);
  Clear(extensionId);
  return LINEERR_INVALAPPHANDLE;
}
LONG lineGetDevCaps(HLINEAPP, DWORD, DWORD, DWORD, LINEDEVCAPS*) {
  return LINEERR_INVALAPPHANDLE;
}
LONG lineOpen(HLINEAPP, DWORD, HLINE* line, DWORD, DWORD, DWORD_PTR, DWORD, DWORD,
              const LINECALLPARAMS*) {
  Clear(line);
  return LINEERR_INVALAPPHANDLE;
}
LONG lineClose(HLINE) {
  return LINEERR_INVALLINEHANDLE;
}
LONG lineGetCallInfo(HCALL, LINECALLINFO*) {
  return LINEERR_INVALCALLHANDLE;
}
LONG lineSetCallPrivilege(HCALL, DWORD) {
  return LINEERR_INVALCALLHANDLE;
}
LONG lineDrop(HCALL, const char*, DWORD) {
  return LINEERR_INVALCALLHANDLE;
}
LONG lineDeallocateCall(HCALL) {
  return LINEERR_INVALCALLHANDLE;
}
LONG lineTranslateAddress(HLINEAPP, DWORD, DWORD, LPCWSTR, DWORD, DWORD, LINETRANSLATEOUTPUT*) {
  return LINEERR_INVALAPPHANDLE;
}
LONG lineMakeCall(HLINE, HCALL* call, LPCWSTR, DWORD, const LINECALLPARAMS*) {
  Clear(call);
  return LINEERR_INVALLINEHANDLE;
}
