// The line monitor's own state: the application and line handles, the outgoing line and call,
// and the handles of the calls it follows. Touched only on the thread that receives the line
// callback (the daemon's window thread).
#pragma once

#include <vector>

#include "platform/tapi.h"

namespace telephony {

struct LineInfo {
  HLINE hLine = 0;
  DWORD voice = 0;
  DWORD apiVersion = 0;
  DWORD numAddresses = 0;
  DWORD deviceId = 0;
};

struct LineState {
  HLINEAPP LineApp = 0;
  DWORD DeviceCount = 0;
  std::vector<HLINE> LineHandles;
  std::vector<LineInfo> LineInfos;
  LineInfo CurrentLine;
  HCALL OutgoingCall = 0;
  LONG MakeCallRequest = 0;
  HCALL OfferingCall = 0;
  // The handles through which the line monitor last heard a voice call offered and dialling
  // (the offered one stays known when OfferingCall is dropped).
  HCALL OfferedCall = 0;
  HCALL DialingCall = 0;
  HCALL FirstVoiceCall = 0;
  HCALL SecondVoiceCall = 0;
  HCALL DataCall = 0;
  bool EndAndAnswerPending = false;
};

LineState& L();

// Call information of a call: the record with its variable part, fetched with the size rules
// (grown to the needed size); empty when the call cannot be asked.
std::vector<uint8_t> FetchCallInfo(HCALL call);
// Whether the call is a voice call; `unreadable` answers for a call whose information cannot be
// read.
bool IsVoiceCall(HCALL call, bool unreadable = false);
// Posts a call message to the daemon window.
void PostCallState(UINT msg);

}  // namespace telephony
