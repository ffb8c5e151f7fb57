// The telephony line interface of the simulated device, over the model in telephony.h.
#include <cstring>
#include <optional>

#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/sim/trace.h"
#include "platform/tapi.h"
#include "platform/wstr.h"

using sim::Dev;
using sim::Self;

namespace {

constexpr char16_t kHiddenClass[] = u"TapiHiddenWindow";

sim::Telephony& T() {
  return Dev().telephony();
}

LONG Struck(const char* name) {
  if (auto struck = sim::Strike(name)) return static_cast<LONG>(*struck);
  return 0;
}

// Runs one queued callback of the application that owns the window; a message left over from
// an application that shut down does nothing.
LRESULT HiddenProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != sim::kTapiWakeMessage) return DefWindowProcW(hwnd, msg, wp, lp);
  sim::TapiApp* app = T().AppOfWindow(hwnd);
  if (!app || app->queue.empty()) return 0;
  sim::TapiMessage m = app->queue.front();
  app->queue.pop_front();
  LINECALLBACK cb = app->callback;
  using sim::Trace;
  Dev().Note("tapi callback msg=" + std::to_string(m.message) + " " + Trace::Hex(m.device) +
                 " 1=" + Trace::Hex(static_cast<uint32_t>(m.param1)) +
                 " 2=" + Trace::Hex(static_cast<uint32_t>(m.param2)) +
                 " 3=" + Trace::Hex(static_cast<uint32_t>(m.param3)),
             m.message);
  if (cb) cb(m.device, m.message, m.instance, m.param1, m.param2, m.param3);
  return 0;
}

// Fills a variable-size record: the fixed part always, the strings only when they all fit;
// strings are UTF-16 with their NUL, placed after the fixed part.
struct VarRecord {
  uint8_t* base;
  DWORD total;
  DWORD used;
  DWORD needed;
  // Places `text` and writes its size and offset; the size counts the NUL.
  void Put(const std::u16string& text, DWORD* size, DWORD* offset) {
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
    needed += bytes;
    if (used + bytes > total) {
      *size = 0;
      *offset = 0;
      return;
    }
    std::memcpy(base + used, text.c_str(), bytes);
    *size = bytes;
    *offset = used;
    used += bytes;
  }
};

// Whether every string fits; when not, the strings are dropped and only the needed size said.
template <class Rec>
void Finish(Rec* rec, VarRecord& v, DWORD fixed) {
  rec->dwNeededSize = v.needed;
  rec->dwUsedSize = v.needed <= v.total ? v.used : fixed;
}

}  // namespace

LONG lineInitializeEx(HLINEAPP* lineApp, HINSTANCE, LINECALLBACK callback, LPCWSTR, DWORD* numDevs,
                      DWORD* apiVersion, LINEINITIALIZEEXPARAMS* params) {
  if (LONG r = Struck("lineInitializeEx")) return r;
  if (!lineApp || !numDevs || !apiVersion) return LINEERR_INVALPOINTER;
  if (!params || params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS))
    return LINEERR_STRUCTURETOOSMALL;
  if (T().ReinitPending()) return LINEERR_REINIT;
  sim::Thread* self = Self();
  if (!self || !self->process || !callback ||
      params->dwOptions != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW)
    return LINEERR_OPERATIONFAILED;
  sim::WindowClass cls{kHiddenClass, &HiddenProc, 0};
  HWND hidden = Dev().windows().Create(self, cls, 0, u"", WS_POPUP, RECT{0, 0, 0, 0}, 0);
  *lineApp = T().AddApp(self, self->process, hidden, callback);
  *numDevs = sim::Telephony::kLineCount;
  *apiVersion = 0x00020000;
  params->dwNeededSize = params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
  return 0;
}

LONG lineShutdown(HLINEAPP lineApp) {
  if (LONG r = Struck("lineShutdown")) return r;
  if (!T().App(lineApp)) return LINEERR_INVALAPPHANDLE;
  T().RemoveApp(Dev(), lineApp);
  return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP lineApp, DWORD deviceId, DWORD low, DWORD high,
                             DWORD* apiVersion, LINEEXTENSIONID* extensionId) {
  if (LONG r = Struck("lineNegotiateAPIVersion")) return r;
  if (!T().App(lineApp)) return LINEERR_INVALAPPHANDLE;
  if (deviceId >= sim::Telephony::kLineCount) return LINEERR_BADDEVICEID;
  if (!apiVersion || !extensionId) return LINEERR_INVALPOINTER;
  if (low > 0x00020000 || high < 0x00010003) return LINEERR_INCOMPATIBLEAPIVERSION;
  *apiVersion = high < 0x00020000 ? high : 0x00020000;
  *extensionId = LINEEXTENSIONID{};
  return 0;
}

LONG lineGetDevCaps(HLINEAPP lineApp, DWORD deviceId, DWORD, DWORD, LINEDEVCAPS* caps) {
  if (LONG r = Struck("lineGetDevCaps")) return r;
  if (!T().App(lineApp)) return LINEERR_INVALAPPHANDLE;
  if (deviceId >= sim::Telephony::kLineCount) return LINEERR_BADDEVICEID;
  if (!caps) return LINEERR_INVALPOINTER;
  if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return LINEERR_STRUCTURETOOSMALL;
  DWORD total = caps->dwTotalSize;
  std::memset(caps, 0, sizeof(LINEDEVCAPS));
  caps->dwTotalSize = total;
  caps->dwStringFormat = STRINGFORMAT_UNICODE;
  caps->dwNumAddresses = 1;
  caps->dwBearerModes = LINEBEARERMODE_VOICE;
  caps->dwMediaModes = sim::Telephony::kLineMediaModes;
  VarRecord v{reinterpret_cast<uint8_t*>(caps), total, sizeof(LINEDEVCAPS), sizeof(LINEDEVCAPS)};
  v.Put(u"Cellular Line", &caps->dwLineNameSize, &caps->dwLineNameOffset);
  Finish(caps, v, sizeof(LINEDEVCAPS));
  return 0;
}

LONG lineOpen(HLINEAPP lineApp, DWORD deviceId, HLINE* line, DWORD apiVersion, DWORD,
              DWORD_PTR callbackInstance, DWORD privileges, DWORD mediaModes,
              const LINECALLPARAMS*) {
  if (LONG r = Struck("lineOpen")) return r;
  if (!T().App(lineApp)) return LINEERR_INVALAPPHANDLE;
  if (deviceId >= sim::Telephony::kLineCount) return LINEERR_BADDEVICEID;
  // Only a version the line supports opens it (one that lineNegotiateAPIVersion could answer).
  if (apiVersion < 0x00010003 || apiVersion > 0x00020000) return LINEERR_INCOMPATIBLEAPIVERSION;
  if (!line) return LINEERR_INVALPOINTER;
  *line = T().AddOpen({0, lineApp, deviceId, privileges, mediaModes, callbackInstance});
  return 0;
}

LONG lineClose(HLINE line) {
  if (LONG r = Struck("lineClose")) return r;
  if (!T().Open(line)) return LINEERR_INVALLINEHANDLE;
  T().RemoveOpen(Dev(), line);
  return 0;
}

LONG lineGetCallInfo(HCALL call, LINECALLINFO* info) {
  if (LONG r = Struck("lineGetCallInfo")) return r;
  sim::CallHandle* h = T().Handle(call);
  if (!h) return LINEERR_INVALCALLHANDLE;
  if (!info) return LINEERR_INVALPOINTER;
  if (info->dwTotalSize < sizeof(LINECALLINFO)) return LINEERR_STRUCTURETOOSMALL;
  const sim::TapiCall* c = T().Call(h->call);
  DWORD total = info->dwTotalSize;
  std::memset(info, 0, sizeof(LINECALLINFO));
  info->dwTotalSize = total;
  info->hLine = h->open;
  info->dwBearerMode = LINEBEARERMODE_VOICE;
  info->dwMediaMode = c->media;
  info->dwCallStates = c->state;
  info->dwOrigin = c->outgoing ? 1 : 2;  // outbound / inbound
  info->dwCallerIDFlags = c->callerIdFlags;
  VarRecord v{reinterpret_cast<uint8_t*>(info), total, sizeof(LINECALLINFO), sizeof(LINECALLINFO)};
  if (c->callerIdFlags & LINECALLPARTYID_ADDRESS)
    v.Put(c->callerId, &info->dwCallerIDSize, &info->dwCallerIDOffset);
  v.Put(u"cprog.exe", &info->dwAppNameSize, &info->dwAppNameOffset);
  if (v.needed > total) {
    info->dwCallerIDSize = info->dwCallerIDOffset = 0;
    info->dwAppNameSize = info->dwAppNameOffset = 0;
  }
  Finish(info, v, sizeof(LINECALLINFO));
  return 0;
}

LONG lineSetCallPrivilege(HCALL call, DWORD privilege) {
  if (LONG r = Struck("lineSetCallPrivilege")) return r;
  sim::CallHandle* h = T().Handle(call);
  if (!h) return LINEERR_INVALCALLHANDLE;
  const sim::TapiCall* c = T().Call(h->call);
  if (privilege == LINECALLPRIVILEGE_MONITOR && h->privilege == LINECALLPRIVILEGE_OWNER &&
      c->state != LINECALLSTATE_IDLE)
    return LINEERR_INVALCALLSTATE;
  h->privilege = privilege;
  return 0;
}

LONG lineDrop(HCALL call, const char*, DWORD) {
  if (LONG r = Struck("lineDrop")) return r;
  sim::CallHandle* h = T().Handle(call);
  if (!h) return LINEERR_INVALCALLHANDLE;
  if (h->privilege != LINECALLPRIVILEGE_OWNER) return LINEERR_NOTOWNER;
  const sim::TapiCall* c = T().Call(h->call);
  if (c->state == LINECALLSTATE_IDLE || c->state == LINECALLSTATE_DISCONNECTED)
    return LINEERR_INVALCALLSTATE;
  const sim::LineOpen* open = T().Open(h->open);
  DWORD request = T().NextRequest();
  HLINEAPP app = open->app;
  DWORD_PTR instance = open->instance;
  int number = h->call;
  auto& dev = Dev();
  dev.At(dev.Now(), [&dev, app, instance, request, number, call] {
    // A handle deallocated before the drop completed hears nothing of it.
    if (dev.telephony().Handle(call))
      dev.telephony().Queue(dev, app, {0, LINE_REPLY, instance, request, 0, 0, call});
    dev.telephony().End(dev, number, LINEDISCONNECTMODE_NORMAL);
  });
  return static_cast<LONG>(request);
}

LONG lineDeallocateCall(HCALL call) {
  if (LONG r = Struck("lineDeallocateCall")) return r;
  sim::CallHandle* h = T().Handle(call);
  if (!h) return LINEERR_INVALCALLHANDLE;
  const sim::TapiCall* c = T().Call(h->call);
  if (h->privilege == LINECALLPRIVILEGE_OWNER && c->state != LINECALLSTATE_IDLE &&
      c->ownerOpen == h->open)
    return LINEERR_INVALCALLSTATE;
  T().RemoveHandle(call);
  return 0;
}

LONG lineTranslateAddress(HLINEAPP lineApp, DWORD deviceId, DWORD, LPCWSTR address, DWORD, DWORD,
                          LINETRANSLATEOUTPUT* out) {
  if (LONG r = Struck("lineTranslateAddress")) return r;
  if (!T().App(lineApp)) return LINEERR_INVALAPPHANDLE;
  if (deviceId >= sim::Telephony::kLineCount) return LINEERR_BADDEVICEID;
  if (!address || !out) return LINEERR_INVALPOINTER;
  if (out->dwTotalSize < sizeof(LINETRANSLATEOUTPUT)) return LINEERR_STRUCTURETOOSMALL;
  DWORD total = out->dwTotalSize;
  std::memset(out, 0, sizeof(LINETRANSLATEOUTPUT));
  out->dwTotalSize = total;
  std::u16string number(platform::WView(address));
  VarRecord v{reinterpret_cast<uint8_t*>(out), total, sizeof(LINETRANSLATEOUTPUT),
              sizeof(LINETRANSLATEOUTPUT)};
  v.Put(number, &out->dwDialableStringSize, &out->dwDialableStringOffset);
  v.Put(number, &out->dwDisplayableStringSize, &out->dwDisplayableStringOffset);
  if (v.needed > total) {
    out->dwDialableStringSize = out->dwDialableStringOffset = 0;
    out->dwDisplayableStringSize = out->dwDisplayableStringOffset = 0;
  }
  Finish(out, v, sizeof(LINETRANSLATEOUTPUT));
  return 0;
}

LONG lineMakeCall(HLINE line, HCALL* call, LPCWSTR destAddress, DWORD, const LINECALLPARAMS*) {
  if (LONG r = Struck("lineMakeCall")) return r;
  sim::LineOpen* open = T().Open(line);
  if (!open) return LINEERR_INVALLINEHANDLE;
  if (!call || !destAddress) return LINEERR_INVALPOINTER;
  auto& dev = Dev();
  std::u16string number(platform::WView(destAddress));
  dev.Note("lineMakeCall " + platform::U8(number));
  int n = T().Dial(dev, line, number);
  DWORD request = T().NextRequest();
  HLINEAPP app = open->app;
  DWORD_PTR instance = open->instance;
  std::optional<DWORD> refusal = T().TakeRefusal();
  dev.At(dev.Now() + 10, [&dev, app, instance, request, n, line, call, refusal] {
    auto& t = dev.telephony();
    if (!t.App(app)) return;
    if (refusal) {
      // The handle was never valid: the application is told only through the reply.
      t.Abandon(dev, n, *refusal);
      t.Queue(dev, app, {0, LINE_REPLY, instance, request, *refusal, 0});
      return;
    }
    *call = t.HandleFor(line, n);
    t.Queue(dev, app, {0, LINE_REPLY, instance, request, 0, 0});
    // A call the far end already answered (or that already ended) never goes back to dialling.
    if (t.Call(n)->state == 0) t.SetState(dev, n, LINECALLSTATE_DIALING);
    dev.At(dev.Now() + 10, [&dev, n] {
      if (dev.telephony().Call(n)->state == LINECALLSTATE_DIALING)
        dev.telephony().SetState(dev, n, LINECALLSTATE_PROCEEDING);
    });
  });
  return static_cast<LONG>(request);
}
