// The line callback: call states become the call flags and the call messages of the daemon
// window and the slide screen; the caller's number goes to the slide screen.
#include <algorithm>
#include <array>

#include "core/messages.h"
#include "core/state.h"
#include "input/keys.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/power.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/settings.h"
#include "telephony/caller_id.h"
#include "telephony/line.h"
#include "telephony/line_state.h"

namespace telephony {

std::u16string CallerNumber(const std::vector<uint8_t>& info);
std::u16string AppName(const std::vector<uint8_t>& info);

namespace {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using lock::PostToSlideScreen;
using settings::S;

constexpr size_t kNumberChars = 30;
constexpr UINT kReopenDelayMs = 1000;

// Telephony is shut down and initialised again by the daemon window's timer, outside the
// callback that asked for it.
void ReopenLater() {
  SetTimer(G().daemonWindow, core::kTimerReopenLine, kReopenDelayMs, nullptr);
}

// Only the daemon's own outgoing call (or a line it opened whose call is not placed yet) is
// closed when a call ends: another program's call must never be dropped by the daemon.
bool IsOwnCall(HCALL call) {
  LineState& s = L();
  if (s.OutgoingCall) return call == s.OutgoingCall;
  return s.MakeCallRequest <= 0;
}

void CloseOwnLine(HCALL call) {
  if (IsOwnCall(call)) CurrentLineClose();
}

void SetDialing(BYTE value) {
  G().Dialing = value;
  PostToSlideScreen(core::kMsgDialingState, value);
}

void SetTalking(BYTE value) {
  G().Talking = value;
  PostToSlideScreen(core::kMsgTalkingState, value);
}

void Offering(HCALL call) {
  core::State& g = G();
  KillTimer(g.daemonWindow, core::kTimerUnknownCaller);
  g.CallWaiting = g.Talking.load();
  // A call has no kind until it is handed to the slide screen: the kind an earlier call left
  // behind must not decide the lock state this one ends with.
  g.CallKind = 0;
  g.CallerPosted = 0;
  L().EndAndAnswerPending = false;
  g.Incoming = 1;
  L().OfferingCall = L().OfferedCall = call;
  SetSystemPowerState(nullptr, POWER_STATE_ON, 0);
  PostCallState(core::kMsgIncoming);
  SetTimer(g.daemonWindow, core::kTimerUnknownCaller, S().DelayUnknownCallerMS, nullptr);
}

void Dialing(HCALL call) {
  if (!IsVoiceCall(call)) return;
  // The daemon's own call is dialling on its monitoring line too; that handle is the one to know.
  if (call != L().OutgoingCall) L().DialingCall = call;
  SetDialing(1);
  SetTalking(0);
  G().CallWaiting = 0;
  L().EndAndAnswerPending = false;
  PostCallState(core::kMsgDialing);
  if (!S().InCallVolumeControl) input::RemoveKeyboardHook();
  PostToSlideScreen(core::kMsgDialing, 0);
}

// A handle the daemon already knows to be a voice call: one it follows in a voice slot, the
// offered or dialling call, or its own outgoing call. It stays a voice call when its information
// can no longer be read (the handle was closed with the daemon's own line, or the read failed).
bool KnownVoiceCall(HCALL call) {
  const LineState& s = L();
  return call && (call == s.FirstVoiceCall || call == s.SecondVoiceCall || call == s.OfferedCall ||
                  call == s.DialingCall || call == s.OutgoingCall);
}

bool IsVoice(HCALL call) {
  return IsVoiceCall(call) || KnownVoiceCall(call);
}

void LogCalls(const char16_t* what, HCALL call) {
  LineState& s = L();
  if (Detailed())
    DebugLog(std::u16string(what) + u" 0x%0X (0x%0X, 0x%0X, 0x%0X)", call, s.FirstVoiceCall,
             s.SecondVoiceCall, s.DataCall);
}

void Connected(HCALL call) {
  LineState& s = L();
  core::State& g = G();
  LogCalls(u"Connected", call);
  if (!IsVoice(call)) {
    s.DataCall = call;
    return;
  }
  // The monitoring line reports the daemon's own outgoing call too: the handle of the line that
  // placed it is the same call seen twice, and that handle dies with the line when the daemon
  // hangs up, so it never holds a slot.
  if (call != s.FirstVoiceCall && call != s.SecondVoiceCall && call != s.OutgoingCall) {
    if (!s.FirstVoiceCall)
      s.FirstVoiceCall = call;
    else
      s.SecondVoiceCall = call;
  }
  SetTalking(1);
  if (g.Incoming) {
    g.Incoming = 0;
    PostCallState(core::kMsgIncoming);
  }
  if (g.Dialing) {
    SetDialing(0);
    PostCallState(core::kMsgDialing);
  }
  if (s.EndAndAnswerPending) {
    s.EndAndAnswerPending = false;
    return;
  }
  PostCallState(core::kMsgTalking);
  PostToSlideScreen(core::kMsgTalking, 0);
}

// A call that never connected: the offer or the dialling ends. A dialled call that ends while
// another call rings leaves the ringing one alone, and the other way round. Only the offered
// call ends the ringing: the daemon knows one dialling call at a time, and a second one (its
// own call seen on its monitoring line, while another program dials) is no offer either.
void NeverConnected(HCALL call) {
  core::State& g = G();
  LineState& s = L();
  const bool offered = call == s.OfferedCall;
  if (g.Incoming && offered) {
    g.Incoming = 0;
    PostCallState(core::kMsgIncoming);
  } else if (g.Dialing && !offered) {
    SetDialing(0);
    PostCallState(core::kMsgDialing);
  }
  // Talking with no call left in a slot: the call's connection was reported through a handle
  // that holds none (the daemon's own), and nothing else would ever bring the flag back.
  if (g.Talking && !s.FirstVoiceCall && !s.SecondVoiceCall) {
    SetTalking(0);
    PostCallState(core::kMsgTalking);
  }
  input::TurnOnHookLater();
  CloseOwnLine(call);
}

void Disconnected(HCALL call) {
  LineState& s = L();
  core::State& g = G();
  LogCalls(u"Disconnected", call);
  if (!IsVoice(call)) {
    s.DataCall = 0;
    if (!g.Talking && !g.Incoming && !g.Dialing) ReopenLater();
    return;
  }
  g.CallEndTick = GetTickCount();
  PostToSlideScreen(core::kMsgCallDropped, 0);
  bool last;
  if (call == s.FirstVoiceCall) {
    s.FirstVoiceCall = 0;
    last = s.SecondVoiceCall == 0;
  } else if (call == s.SecondVoiceCall) {
    s.SecondVoiceCall = 0;
    last = s.FirstVoiceCall == 0;
  } else {
    return NeverConnected(call);
  }
  if (last) {
    SetTalking(0);
    input::TurnOnHookLater();
  }
  if (!s.EndAndAnswerPending) PostCallState(core::kMsgTalking);
  CloseOwnLine(call);
}

void CallState(HCALL call, DWORD state) {
  switch (state) {
    case LINECALLSTATE_OFFERING:
      // A data call is no phone call: it must not leave the incoming flag set behind it. A call
      // whose information cannot be read is taken for a phone call: ignored, it would ring
      // under the lock screen, and its end brings the flag back all the same.
      if (IsVoiceCall(call, true)) Offering(call);
      return;
    case LINECALLSTATE_DIALING:
      return Dialing(call);
    case LINECALLSTATE_BUSY:
      PostToSlideScreen(core::kMsgBusy, 0);
      return CloseOwnLine(call);
    case LINECALLSTATE_SPECIALINFO:
      return CloseOwnLine(call);
    case LINECALLSTATE_CONNECTED:
      return Connected(call);
    case LINECALLSTATE_DISCONNECTED:
      return Disconnected(call);
  }
}

void WriteStore(const WCHAR* name, const WCHAR* text) {
  RegistrySetString(HKEY_CURRENT_USER, settings::kStoreKey, name, text);
}

// The caller's number, only when the call information marks it as an address, bounded to the
// number buffer.
void CallerIdArrived(HCALL call) {
  core::State& g = G();
  KillTimer(g.daemonWindow, core::kTimerUnknownCaller);
  std::array<WCHAR, kNumberChars> number{};
  platform::WCopy(number.data(), number.size(), CallerNumber(FetchCallInfo(call)));
  if (Detailed()) DebugLog(u"IncomingNumber: %s", number.data());
  WriteStore(u"IncomingName", u"");
  if (IsNumericNumber(number.data())) {
    LookupCallerName(g.daemonWindow, number.data());
  } else {
    platform::WCopy(number.data(), number.size(), u"unknown");
    g.UnknownCaller = 1;
    if (Detailed()) DebugLog(u"IncomingNumber: Unknown");
  }
  WriteStore(u"IncomingNumber", number.data());
  g.CallKind = lock::OfferedCallKind();
  lock::RunCaller(true);
}

void CallInfo(HCALL call, DWORD_PTR what) {
  core::State& g = G();
  if (!S().CallerID) return;
  if (Detailed()) DebugLog(u"LINECALLINFO: %0X %s", what, AppName(FetchCallInfo(call)));
  if (g.CallerPosted || !g.Incoming) return;
  g.UnknownCaller = 0;
  if (what & LINECALLINFOSTATE_CALLERID) CallerIdArrived(call);
}

// The server took a monitoring line away: its handle is dead, and no call would reach the
// daemon again, so telephony starts afresh.
void MonitoringLineClosed(HLINE line) {
  std::vector<HLINE>& lines = L().LineHandles;
  auto it = std::find(lines.begin(), lines.end(), line);
  if (line == 0 || it == lines.end()) return;
  *it = 0;
  DebugLog(u"TAPI: Line 0x%0X closed by TAPI, reinitializing", line);
  ReopenLater();
}

// The server lets nobody initialise until every application has shut down, and the lines
// the daemon holds belong to the configuration being replaced.
void ReinitRequested() {
  DebugLog(u"TAPI: LINEDEVSTATE_REINIT, reinitializing");
  ReopenLater();
}

}  // namespace

void LineCallback(DWORD hDevice, DWORD msg, DWORD_PTR, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
  core::State& g = G();
  if (Detailed()) {
    DebugLog(u"TAPI: dwMsg=%d 1=0x%0X 2=0x%0X 3=0x%0X", msg, p1, p2, p3);
    DebugLog(u"TAPI: Talking=0x%0X Dialing=0x%0X Incoming=0x%0X, CallWaiting=0x%0X",
             g.Talking.load(), g.Dialing.load(), g.Incoming.load(), g.CallWaiting.load());
  }
  LineState& s = L();
  switch (msg) {
    case LINE_CALLSTATE:
      return CallState(hDevice, static_cast<DWORD>(p1));
    case LINE_CALLINFO:
      return CallInfo(hDevice, p1);
    case LINE_CLOSE:
      if (hDevice == s.CurrentLine.hLine) CurrentLineClose();
      return MonitoringLineClosed(hDevice);
    case LINE_LINEDEVSTATE:
      if (p1 & LINEDEVSTATE_REINIT) ReinitRequested();
      return;
    case LINE_REPLY:
      if (static_cast<LONG>(p1) == s.MakeCallRequest && p2 != 0) CurrentLineClose();
      return;
  }
}

}  // namespace telephony
