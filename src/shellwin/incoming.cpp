#include "shellwin/incoming.h"

#include <array>

#include "core/messages.h"
#include "core/state.h"
#include "lock/lock_state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/registry.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/settings.h"
#include "shellwin/incoming_titles.h"

namespace shellwin {
namespace {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;
using settings::S;

constexpr WCHAR kPhoneKey[] = u"ControlPanel\\Notifications\\Phone";
constexpr size_t kTitleChars = 260;
constexpr UINT kSkinPaintMessage = 1449;
constexpr DWORD kMenuExStyle = 0x20000000;

struct IncomingState {
  std::array<WCHAR, kTitleChars> PhoneTitlePrefix{};
  HWND IncomingSkinWindow = 0;
  WNDPROC SavedIncomingProc = nullptr;
  WNDPROC SavedSkinProc = nullptr;
  HWND HookedIncomingWindow = 0;
  bool MenuSearchDone = false;
  // Where the phone had the incoming-call window and its soft keys before they were put out of
  // sight; empty until then.
  RECT IncomingPlace{};
  RECT MenuPlace{};
};

IncomingState& I() {
  return platform::ProcessGlobal<IncomingState>();
}

std::u16string_view Prefix() {
  return platform::WView(I().PhoneTitlePrefix.data());
}

// A call is ringing and the slide screen is to show it. With CallerID switched off since the
// windows were subclassed (a settings reload), the phone's own windows must show the call.
bool HidingIncoming() {
  return G().Incoming && S().CallerID;
}

// The replacement procedures run on the phone application's thread.
LRESULT IncomingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCACTIVATE && HidingIncoming()) {
    ShowWindow(h, SW_HIDE);
    if (Detailed()) DebugLog(u"Hide WMIncoming");
  }
  return CallWindowProcW(I().SavedIncomingProc, h, msg, wp, lp);
}

LRESULT SkinProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (HidingIncoming() && (msg == WM_ERASEBKGND || msg == kSkinPaintMessage)) {
    if (Detailed()) DebugLog(u"Incoming WM_EBG (%0X) Ignored", msg);
    ShowWindow(h, SW_HIDE);
    return 0;
  }
  if (HidingIncoming() && msg == WM_TIMER) {
    if (Detailed()) DebugLog(u"Incoming WM_TMR Ignored");
    ShowWindow(h, SW_HIDE);
    SetForegroundWindow(G().SlideWindow);
    return 0;
  }
  return CallWindowProcW(I().SavedSkinProc, h, msg, wp, lp);
}

void HookIncomingDialog(HWND h) {
  IncomingState& s = I();
  if (s.SavedIncomingProc || !h) return;
  s.HookedIncomingWindow = h;
  s.SavedIncomingProc = reinterpret_cast<WNDPROC>(
      SetWindowLongW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&IncomingProc)));
  if (!Detailed()) return;
  if (s.SavedIncomingProc)
    DebugLog(u"SC WMIncoming OK");
  else
    DebugLog(u"SC WMIncoming fail:%d", GetLastError());
}

HWND DialogTitled(std::u16string_view title) {
  std::u16string t(title);
  return FindWindowW(u"Dialog", t.c_str());
}

HWND Found(HWND h, std::u16string_view title) {
  settings::Text& text = S().IncomingText;
  platform::WCopy(text.data(), text.size(), title);
  RegistrySetString(HKEY_CURRENT_USER, settings::kStoreKey, u"IncomingText", text.data());
  DebugLog(u"IncomingTEXT: %s", text.data());
  HookIncomingDialog(h);
  return h;
}

struct Search {
  DWORD pid = 0;
  HWND found = 0;
  bool byPrefix = false;
};

DWORD ProcessOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

BOOL FindMenu(HWND h, LONG_PTR ctx) {
  auto* s = reinterpret_cast<Search*>(ctx);
  WCHAR cls[64] = {};
  GetClassNameW(h, cls, 64);
  if (std::u16string_view(cls).substr(0, 11) != u"menu_worker" || ProcessOf(h) != s->pid ||
      !(GetWindowLongW(h, GWL_EXSTYLE) & kMenuExStyle))
    return TRUE;
  s->found = h;
  return FALSE;
}

BOOL FindSkin(HWND h, LONG_PTR ctx) {
  auto* s = reinterpret_cast<Search*>(ctx);
  WCHAR cls[64] = {}, title[kTitleChars] = {};
  GetClassNameW(h, cls, 64);
  GetWindowTextW(h, title, kTitleChars);
  if (ProcessOf(h) != s->pid || GetWindow(h, GW_CHILD) ||
      platform::ICompareN(cls, u"Dialog", 6) != 0)
    return TRUE;
  std::u16string_view prefix = Prefix();
  bool match = s->byPrefix ? platform::ICompareN(title, prefix, prefix.size()) == 0 : !title[0];
  if (!match) return TRUE;
  s->found = h;
  return FALSE;
}

}  // namespace

void ReadPhoneNotificationSettings() {
  IncomingState& s = I();
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kPhoneKey, 0, 0, &key) == ERROR_SUCCESS) {
    WCHAR text[kTitleChars] = {};
    DWORD size = sizeof text - sizeof(WCHAR);
    if (RegQueryValueExW(key, u"Default", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
        ERROR_SUCCESS) {
      std::u16string_view name(text);
      size_t end = name.find(u':');
      if (end == name.npos) end = name.find(u' ');
      if (end != name.npos)
        platform::WCopy(s.PhoneTitlePrefix.data(), kTitleChars, name.substr(0, end));
    }
    RegCloseKey(key);
  }
  DebugLog(u"PT (%s)", s.PhoneTitlePrefix.data());
  FindPhoneDialog();
}

bool FindPhoneDialog() {
  std::u16string prefix(Prefix());
  for (const std::u16string& title : {prefix, prefix + u" ", std::u16string(u"PhonEx")}) {
    HWND h = DialogTitled(title);
    if (h && GetWindow(h, GW_CHILD)) {
      G().PhoneDialog = h;
      return true;
    }
  }
  G().PhoneDialog = 0;
  return false;
}

HWND FindIncomingWindow() {
  std::u16string text(platform::WView(S().IncomingText.data()));
  if (HWND h = DialogTitled(text)) return Found(h, text);
  std::array<WCHAR, kTitleChars> dotted{};
  platform::WCopy(dotted.data(), dotted.size(), text + u"...");
  if (HWND h = DialogTitled(dotted.data())) return Found(h, dotted.data());
  for (std::u16string_view title : IncomingTitles())
    if (HWND h = DialogTitled(title)) return Found(h, title);
  return 0;
}

void FindIncomingMenuWindow(HWND incoming) {
  Search s{ProcessOf(incoming)};
  EnumWindows(&FindMenu, reinterpret_cast<LONG_PTR>(&s));
  if (!s.found) return;
  G().IncomingMenuWindow = s.found;
  if (Detailed()) DebugLog(u"Found Incoming menu_worker %0X", s.found);
}

bool ApplySkinHandling(HWND incoming) {
  IncomingState& st = I();
  if (st.MenuSearchDone || st.SavedSkinProc) return st.IncomingSkinWindow != 0;
  Search s{ProcessOf(incoming)};
  EnumWindows(&FindSkin, reinterpret_cast<LONG_PTR>(&s));
  if (!s.found) {
    s.byPrefix = true;
    EnumWindows(&FindSkin, reinterpret_cast<LONG_PTR>(&s));
  }
  if (!s.found) return false;
  if (Detailed()) DebugLog(u"found skin %0X", s.found);
  st.IncomingSkinWindow = s.found;
  st.SavedSkinProc = reinterpret_cast<WNDPROC>(
      SetWindowLongW(s.found, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinProc)));
  if (st.SavedSkinProc)
    DebugLog(u"Incoming Skin SC OK");
  else
    DebugLog(u"Incoming Skin SC fail:%d", GetLastError());
  return true;
}

void MarkIncomingHandled(HWND) {
  I().MenuSearchDone = true;
}

bool MenuSearchDone() {
  return I().MenuSearchDone;
}

namespace {
bool HasSize(const RECT& r) {
  return r.right > r.left && r.bottom > r.top;
}

// A window already out of sight keeps the place it had before.
void KeepPlace(HWND h, RECT& place) {
  RECT r{};
  if (GetWindowRect(h, &r) && HasSize(r)) place = r;
}

int Width(const RECT& r) {
  return r.right - r.left;
}

int Height(const RECT& r) {
  return r.bottom - r.top;
}
}  // namespace

void MoveIncomingMenuOutOfSight() {
  HWND menu = G().IncomingMenuWindow;
  KeepPlace(menu, I().MenuPlace);
  MoveWindow(menu, -1, -1, 0, 0, FALSE);
}

void HideIncomingWindow(HWND incoming) {
  KeepPlace(incoming, I().IncomingPlace);
  SetWindowPos(incoming, HWND_BOTTOM, -1, -1, 0, 0, SWP_HIDEWINDOW);
  DebugLog(u"hidden incoming");
}

void ShowIncomingAgain() {
  IncomingState& s = I();
  core::State& g = G();
  if (!g.Incoming || !g.IncomingDialog || !HasSize(s.IncomingPlace)) return;
  const RECT& m = s.MenuPlace;
  if (g.IncomingMenuWindow && HasSize(m))
    MoveWindow(g.IncomingMenuWindow, m.left, m.top, Width(m), Height(m), TRUE);
  // Moved and shown apart: a window that could not be moved back is still better shown.
  const RECT& r = s.IncomingPlace;
  MoveWindow(g.IncomingDialog, r.left, r.top, Width(r), Height(r), TRUE);
  ShowWindow(g.IncomingDialog, SW_SHOW);
  SetForegroundWindow(g.IncomingDialog);
  DebugLog(u"shown incoming");
}

void RestoreIncomingWindowProc() {
  IncomingState& s = I();
  if (!s.SavedIncomingProc) return;
  HWND h = G().IncomingDialog;
  if (h && h == s.HookedIncomingWindow)
    SetWindowLongW(h, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(s.SavedIncomingProc));
  s.SavedIncomingProc = nullptr;
}

void RestoreSkinWindowProc() {
  IncomingState& s = I();
  if (!s.SavedSkinProc) return;
  SetWindowLongW(s.IncomingSkinWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(s.SavedSkinProc));
  s.SavedSkinProc = nullptr;
}

void CheckInCallLock() {
  core::State& g = G();
  if (!lock::IsInCallLockWanted()) return;
  if (Detailed())
    DebugLog(u"IsInCallLock CID=%d IWND=%0X CWND=%0X", S().CallerID.load(), g.IncomingDialog.load(),
             g.PhoneDialog.load());
  SetTimer(g.daemonWindow, core::kTimerInCallLock, 1600, nullptr);
  if (!S().CallerID || !g.IncomingDialog || !g.PhoneDialog) return;
  if (g.Locked) lock::PostToSlideScreen(core::kMsgCallLock, 0);
  lock::PostToSlideScreen(core::kMsgInCallLock, g.PhoneDialog);
}

}  // namespace shellwin
