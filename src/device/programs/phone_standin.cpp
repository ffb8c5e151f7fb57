#include "device/programs/phone_standin.h"

#include <map>

#include "platform/process_local.h"
#include "platform/sim/api.h"
#include "platform/tapi.h"
#include "platform/user.h"

namespace device {
namespace {

constexpr UINT kOfferTimer = 1;
constexpr UINT kMenuTimer = 2;
constexpr UINT kLastPaintTimer = 3;
constexpr UINT kSkinPaint = 1449;
constexpr UINT kVkAnswer = 0x70, kVkReject = 0x71, kVkEnd = 0x73;
constexpr DWORD kMenuExStyle = 0x20000000;

struct Phone {
  HWND phone = 0, incoming = 0, skin = 0, menu = 0;
  std::map<HCALL, DWORD> calls;  // the application's handles and their states
  bool offeredOnce = false;
  bool reactivate = false;
};
Phone& P() {
  return platform::ProcessGlobal<Phone>();
}
sim::Telephony& T() {
  return sim::Dev().telephony();
}

// The call of a handle of ours in `state`, 0 when none.
int CallIn(DWORD state) {
  for (auto [h, s] : P().calls)
    if (s == state)
      if (const sim::CallHandle* c = T().Handle(h)) return c->call;
  return 0;
}

void Answer() {
  if (int n = CallIn(LINECALLSTATE_OFFERING)) T().SetState(sim::Dev(), n, LINECALLSTATE_CONNECTED);
}
void Reject() {
  if (int n = CallIn(LINECALLSTATE_OFFERING)) T().End(sim::Dev(), n, LINEDISCONNECTMODE_REJECT);
}
void EndConnected() {
  if (int n = CallIn(LINECALLSTATE_CONNECTED)) T().End(sim::Dev(), n, LINEDISCONNECTMODE_NORMAL);
}

HWND Make(const WCHAR* cls, const WCHAR* title, DWORD exStyle, WNDPROC proc, HWND parent = 0) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(exStyle, cls, title, parent ? WS_CHILD : WS_POPUP, 0, 26, 240, 268,
                           parent, 0, 0, nullptr);
  // Several windows share the class "Dialog": each gets its own procedure.
  if (h && GetWindowLongW(h, GWL_WNDPROC) != reinterpret_cast<LONG_PTR>(proc))
    SetWindowLongW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  return h;
}

LRESULT PhoneProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN && wp == kVkEnd) EndConnected();
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT IncomingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_KEYDOWN && wp == kVkAnswer) Answer();
  if (msg == WM_KEYDOWN && wp == kVkReject) Reject();
  if (msg == WM_NCACTIVATE)
    sim::Dev().Note(wp ? "phone incoming window active" : "phone incoming window inactive");
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT SkinProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND || msg == kSkinPaint || msg == WM_TIMER)
    sim::Dev().Note("phone skin window painted", msg);
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}

// While a call is offered the skinned window keeps repainting itself.
void RepaintSkin() {
  HWND skin = P().skin;
  SendMessageW(skin, WM_ERASEBKGND, 0, 0);
  SendMessageW(skin, kSkinPaint, 0, 0);
  SendMessageW(skin, WM_TIMER, 0, 0);
}

LRESULT MenuProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && wp == 1) Answer();
  if (msg == WM_COMMAND && wp == 2) Reject();
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}

void MakeMenu() {
  if (!P().menu) P().menu = Make(u"menu_worker", u"", kMenuExStyle, &MenuProc);
}

LRESULT TimerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER && wp == kMenuTimer) {
    KillTimer(h, kMenuTimer);
    MakeMenu();
    return 0;
  }
  if (msg == WM_TIMER && wp == kLastPaintTimer) {
    KillTimer(h, kLastPaintTimer);
    RepaintSkin();
    return 0;
  }
  if (msg == WM_TIMER && wp == kOfferTimer) {
    // The phone keeps its offer on screen: it repaints its skin, and activates its window
    // again once.
    Phone& p = P();
    if (p.skin) RepaintSkin();
    if (p.reactivate) SendMessageW(p.incoming, WM_NCACTIVATE, 1, 0);
    p.reactivate = false;
    if (!p.skin) KillTimer(h, kOfferTimer);
    return 0;
  }
  return PhoneProc(h, msg, wp, lp);
}

void ShowOffer() {
  Phone& p = P();
  ShowWindow(p.incoming, SW_SHOW);
  SetForegroundWindow(p.incoming);
  SendMessageW(p.incoming, WM_NCACTIVATE, 1, 0);
  if (p.skin) ShowWindow(p.skin, SW_SHOWNA);
  p.reactivate = true;
  SetTimer(p.phone, kOfferTimer, 500, nullptr);
  if (p.offeredOnce) return;
  p.offeredOnce = true;
  const auto& delay = T().phone().menuDelay;
  if (delay && *delay > 0) SetTimer(p.phone, kMenuTimer, static_cast<UINT>(*delay), nullptr);
}

void EndOffer() {
  Phone& p = P();
  ShowWindow(p.incoming, SW_HIDE);
  KillTimer(p.phone, kOfferTimer);
  if (!p.skin) return;
  ShowWindow(p.skin, SW_HIDE);
  // Hidden, the skin still paints itself once more a moment later.
  SetTimer(p.phone, kLastPaintTimer, 100, nullptr);
}

void OnCallState(HCALL call, DWORD state) {
  Phone& p = P();
  bool wasOffered = CallIn(LINECALLSTATE_OFFERING) != 0;
  if (state == LINECALLSTATE_IDLE)
    p.calls.erase(call);
  else
    p.calls[call] = state;
  bool offered = CallIn(LINECALLSTATE_OFFERING) != 0;
  if (state == LINECALLSTATE_OFFERING) ShowOffer();
  if (wasOffered && !offered) EndOffer();
}

void Callback(DWORD device, DWORD msg, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
  if (msg == LINE_CALLSTATE) OnCallState(device, static_cast<DWORD>(p1));
}

}  // namespace

int PhoneMain(const std::u16string&, int) {
  Phone& p = P();
  const sim::PhoneConfig& cfg = T().phone();
  p.phone = Make(u"Dialog", u"Phone", 0, &TimerProc);
  // Its number field has the focus, as a dialog's first control does: a key reaches the phone
  // window itself only once a program gives the window the focus.
  SetFocus(Make(u"PhoneChild", u"", 0, &PhoneProc, p.phone));
  p.incoming = Make(u"Dialog", cfg.incomingTitle.c_str(), 0, &IncomingProc);
  if (cfg.skin) p.skin = Make(u"Dialog", u"", 0, &SkinProc);
  if (cfg.menuDelay && *cfg.menuDelay == 0) MakeMenu();
  Make(u"MS_SOFTKEY_CE_1.0", u"", 0, &PhoneProc);
  T().phone().incomingWindow = p.incoming;
  HLINEAPP app = 0;
  DWORD devices = 0, version = 0x00020000;
  LINEINITIALIZEEXPARAMS params{};
  params.dwTotalSize = sizeof params;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  HLINE line = 0;
  if (lineInitializeEx(&app, 0, &Callback, u"cprog", &devices, &version, &params) == 0)
    lineOpen(app, 0, &line, version, 0, 0, LINECALLPRIVILEGE_OWNER,
             LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE, nullptr);
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

void StartPhone(sim::Device& dev) {
  dev.registry().CreateKey(u"HKEY_CURRENT_USER\\ControlPanel\\Notifications\\Phone");
  std::u16string name = u"Phone: Incoming call";
  std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(name.c_str()),
                             reinterpret_cast<const uint8_t*>(name.c_str() + name.size() + 1));
  dev.registry().SetValue(u"HKEY_CURRENT_USER\\ControlPanel\\Notifications\\Phone", u"Default",
                          REG_SZ, std::move(bytes));
  dev.files().AddFile(u"\\Windows\\cprog.exe");
  dev.Launch(u"\\Windows\\cprog.exe", u"", 5);
}

}  // namespace device
