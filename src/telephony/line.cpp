// Opening and closing the lines, the call information, and the daemon's outgoing line.
#include "telephony/line.h"

#include <algorithm>
#include <cstring>

#include "core/state.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/user.h"
#include "telephony/line_state.h"

namespace telephony {

using dlog::DebugLog;
using dlog::Detailed;

void LineCallback(DWORD hDevice, DWORD msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2,
                  DWORD_PTR p3);

namespace {

constexpr DWORD kApiVersion = 0x00020000;
constexpr DWORD kLowestVersion = 0x00010003;
constexpr DWORD kCallInfoSize = 1328;
constexpr DWORD kDevCapsSize = 292;
constexpr DWORD kReinitLimitMs = 5000;
constexpr DWORD kReinitPauseMs = 100;

// Fetches a variable-size record into a buffer that grows to the size it needs.
template <class Record, class Get>
LONG FetchRecord(std::vector<uint8_t>& buf, DWORD size, Get get) {
  for (;;) {
    buf.assign(std::max<size_t>(size, sizeof(Record)), 0);
    auto* rec = reinterpret_cast<Record*>(buf.data());
    rec->dwTotalSize = static_cast<DWORD>(buf.size());
    if (LONG r = get(rec)) return r;
    if (rec->dwNeededSize <= rec->dwTotalSize) return 0;
    size = rec->dwNeededSize;
  }
}

// The text of a record's string, bounded to the bytes the record really holds.
std::u16string RecordText(const std::vector<uint8_t>& buf, DWORD size, DWORD offset) {
  if (size < sizeof(WCHAR) || offset >= buf.size()) return {};
  size = std::min<DWORD>(size, static_cast<DWORD>(buf.size() - offset));
  std::u16string text(size / sizeof(WCHAR), u'\0');
  std::memcpy(text.data(), buf.data() + offset, text.size() * sizeof(WCHAR));
  text.resize(std::char_traits<char16_t>::length(text.c_str()));
  return text;
}

LONG ProbeLine(DWORD i, LineInfo& info) {
  LineState& s = L();
  LINEEXTENSIONID ext{};
  if (LONG r = lineNegotiateAPIVersion(s.LineApp, i, kLowestVersion, kApiVersion, &info.apiVersion,
                                       &ext))
    return r;
  std::vector<uint8_t> buf;
  LONG r = FetchRecord<LINEDEVCAPS>(buf, kDevCapsSize, [&](LINEDEVCAPS* caps) {
    return lineGetDevCaps(s.LineApp, i, info.apiVersion, 0, caps);
  });
  if (r) return r;
  const auto* caps = reinterpret_cast<const LINEDEVCAPS*>(buf.data());
  info.deviceId = i;
  info.numAddresses = caps->dwNumAddresses;
  info.voice = caps->dwMediaModes & LINEMEDIAMODE_INTERACTIVEVOICE;
  std::u16string name =
      RecordText(buf, std::min<DWORD>(caps->dwLineNameSize, 512), caps->dwLineNameOffset);
  if (caps->dwLineNameSize == 0) name = platform::FormatW(u"Line %d", {i});
  if (Detailed())
    DebugLog(u"TAPI: %d %s 0x%0X %d %d %d", i, name, info.hLine, info.voice, info.apiVersion,
             info.numAddresses);
  return 0;
}

void OpenLines() {
  LineState& s = L();
  // The line of an earlier initialisation is gone: when no line opens now, no call is placed
  // on it (its end would reach no line the daemon watches).
  s.CurrentLine = LineInfo{};
  bool opened = false;
  for (DWORD i = 0; i < s.DeviceCount; ++i) {
    LineInfo& info = s.LineInfos[i];
    if (ProbeLine(i, info) != 0 || !info.voice) continue;
    LONG r = lineOpen(s.LineApp, i, &s.LineHandles[i], info.apiVersion, 0, 0,
                      LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER,
                      LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM, nullptr);
    if (r != 0) {
      if (Detailed()) DebugLog(u"TAPI: %d Error 0x%0X", i, r);
      continue;
    }
    if (Detailed()) DebugLog(u"TAPI: %d Handle 0x%0X", i, s.LineHandles[i]);
    if (!opened) s.CurrentLine = info;
    opened = true;
  }
}

}  // namespace

LineState& L() {
  return platform::ProcessGlobal<LineState>();
}

std::vector<uint8_t> FetchCallInfo(HCALL call) {
  std::vector<uint8_t> buf;
  if (FetchRecord<LINECALLINFO>(buf, kCallInfoSize,
                                [&](LINECALLINFO* info) { return lineGetCallInfo(call, info); }))
    buf.clear();
  return buf;
}

bool IsVoiceCall(HCALL call, bool unreadable) {
  std::vector<uint8_t> buf = FetchCallInfo(call);
  DWORD mode = buf.empty() ? 0 : reinterpret_cast<const LINECALLINFO*>(buf.data())->dwMediaMode;
  bool voice = buf.empty()
                   ? unreadable
                   : (mode & (LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE)) != 0;
  if (Detailed()) DebugLog(u"TAPI: IsVoiceCall=0x%0X MediaMode=0x%0X", voice ? 1 : 0, mode);
  return voice;
}

std::u16string CallerNumber(const std::vector<uint8_t>& info) {
  if (info.size() < sizeof(LINECALLINFO)) return {};
  const auto* rec = reinterpret_cast<const LINECALLINFO*>(info.data());
  if (!(rec->dwCallerIDFlags & LINECALLPARTYID_ADDRESS)) return {};
  return RecordText(info, rec->dwCallerIDSize, rec->dwCallerIDOffset);
}

std::u16string AppName(const std::vector<uint8_t>& info) {
  if (info.size() < sizeof(LINECALLINFO)) return {};
  const auto* rec = reinterpret_cast<const LINECALLINFO*>(info.data());
  return RecordText(info, rec->dwAppNameSize, rec->dwAppNameOffset);
}

void PostCallState(UINT msg) {
  core::State& g = core::G();
  if (Detailed())
    DebugLog(u"TAPI: Msg=%d Talking=0x%0X Dialing=0x%0X Incoming=0x%0X", msg, g.Talking.load(),
             g.Dialing.load(), g.Incoming.load());
  PostMessageW(g.daemonWindow, msg, 0, 0);
}

LONG TapiInitialize() {
  LineState& s = L();
  DWORD start = GetTickCount();
  LINEINITIALIZEEXPARAMS params{};
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  LONG r;
  for (;;) {
    DWORD version = kApiVersion;
    r = lineInitializeEx(&s.LineApp, 0, &LineCallback, nullptr, &s.DeviceCount, &version, &params);
    if (r != LINEERR_REINIT || GetTickCount() - start > kReinitLimitMs) break;
    // The telephony server waits for its other applications to shut down: asking again without
    // a pause would only keep it busy.
    Sleep(kReinitPauseMs);
  }
  if (r != 0) {
    DebugLog(u"TAPI: Initialize Fails 0x%0X", r);
    return r;
  }
  if (s.DeviceCount == 0) {
    DebugLog(u"TAPI: There are no devices available");
    return LINEERR_NODEVICE;
  }
  s.LineHandles.assign(s.DeviceCount, 0);
  s.LineInfos.assign(s.DeviceCount, LineInfo{});
  OpenLines();
  return 0;
}

void TapiShutdown() {
  LineState& s = L();
  for (HLINE h : s.LineHandles)
    if (h) lineClose(h);
  if (s.LineApp) lineShutdown(s.LineApp);
  s.LineApp = 0;
  s.LineHandles.clear();
  s.LineInfos.clear();
  s.DeviceCount = 0;
  core::State& g = core::G();
  s.FirstVoiceCall = s.SecondVoiceCall = s.DataCall = 0;
  // lineShutdown took every handle with it, the daemon's own outgoing call's too.
  s.OfferingCall = s.OfferedCall = s.DialingCall = s.OutgoingCall = 0;
  g.Incoming = 0;
  g.Dialing = 0;
  g.Talking = 0;
  s.EndAndAnswerPending = false;
}

void CurrentLineClose() {
  LineState& s = L();
  if (Detailed()) DebugLog(u"CurrentLineClose %0X", s.OutgoingCall);
  if (s.OutgoingCall) {
    lineDrop(s.OutgoingCall, nullptr, 0);
    Sleep(3000);
    lineDeallocateCall(s.OutgoingCall);
  }
  if (s.CurrentLine.hLine) lineClose(s.CurrentLine.hLine);
  s.CurrentLine.hLine = 0;
  s.OutgoingCall = 0;
}

}  // namespace telephony
