// Call control: the slide screen's answer, reject and end keys carried out on the system's
// incoming-call window or through the line, keys to the call window, and placing a call.
#include <algorithm>
#include <array>
#include <vector>

#include "core/messages.h"
#include "core/state.h"
#include "lock/slide_screen.h"
#include "log/debug_log.h"
#include "platform/kernel.h"
#include "platform/keyboard.h"
#include "platform/user.h"
#include "platform/wstr.h"
#include "settings/settings.h"
#include "telephony/line.h"
#include "telephony/line_state.h"

namespace telephony {

namespace {

using core::G;
using dlog::DebugLog;
using dlog::Detailed;

constexpr UINT kSoftKeyBarMessage = 49153;
constexpr UINT kVkAnswer = 0x70;
constexpr UINT kVkReject = 0x71;
constexpr UINT kVkEnd = 0x73;
constexpr size_t kDialChars = 81;
constexpr DWORD kCallParamsSize = sizeof(LINECALLPARAMS);

void PressIncomingSoftKey(WPARAM key) {
  HWND menu = G().IncomingMenuWindow;
  HWND bar = FindWindowW(u"MS_SOFTKEY_CE_1.0", nullptr);
  if (!bar) {
    SendMessageW(menu, WM_COMMAND, key, 0);
    return;
  }
  LPARAM b = static_cast<LPARAM>(bar);
  SendMessageW(menu, kSoftKeyBarMessage, 1, b);
  SendMessageW(menu, WM_COMMAND, key, b);
  SendMessageW(menu, kSoftKeyBarMessage, 0, b);
}

bool DropOfferedCall() {
  LineState& s = L();
  if (!s.OfferingCall) return false;
  LONG r = lineSetCallPrivilege(s.OfferingCall, LINECALLPRIVILEGE_OWNER);
  if (Detailed()) DebugLog(u"lineSetCallPrivilege %0X", r);
  if (r != 0) return false;
  r = lineDrop(s.OfferingCall, nullptr, 0);
  if (Detailed()) DebugLog(u"lineDrop %0X(%0X)", s.OfferingCall, r);
  s.OfferingCall = 0;
  return r > 0;
}

// In front, a window gives the focus back to the control in it that had it: the key must reach
// the window itself.
void PressKey(HWND target, UINT key) {
  SetForegroundWindow(target);
  SetFocus(target);
  Sleep(50);
  BYTE vk = static_cast<BYTE>(key & 0xFF);
  keybd_event(vk, 0, KEYEVENTF_SILENT, 0);
  keybd_event(vk, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
  Sleep(settings::S().CallerIDKeyDelay);
}

void EndAndAnswer() {
  HWND phone = G().PhoneDialog;
  PressKey(phone, kVkEnd);
  if (Detailed()) DebugLog(u"End Call & Answer - %0X", phone);
  PressIncomingSoftKey(1);
  L().EndAndAnswerPending = true;
}

// Without a known incoming-call window the key would land in whatever program is in front.
void ForwardKey(UINT key) {
  if (!G().IncomingDialog) return;
  PressKey(G().IncomingDialog, key);
  HWND slide = G().SlideWindow;
  ShowWindow(slide, SW_SHOW);
  PostMessageW(slide, WM_SETFOCUS, 1, 0);
}

// A record of `size` bytes, zero-filled, with its total size set.
template <class Record>
std::vector<uint8_t> NewRecord(size_t size) {
  std::vector<uint8_t> buf(size, 0);
  reinterpret_cast<Record*>(buf.data())->dwTotalSize = static_cast<DWORD>(size);
  return buf;
}

// The translated number: the whole output record, grown until its strings fit.
LONG Translate(const WCHAR* number, std::vector<uint8_t>& out) {
  LineState& s = L();
  size_t size = sizeof(LINETRANSLATEOUTPUT);
  for (;;) {
    out = NewRecord<LINETRANSLATEOUTPUT>(size);
    auto* rec = reinterpret_cast<LINETRANSLATEOUTPUT*>(out.data());
    LONG r = lineTranslateAddress(s.LineApp, s.CurrentLine.deviceId, s.CurrentLine.apiVersion,
                                  number, 0, 0, rec);
    if (r != 0 || rec->dwNeededSize <= rec->dwTotalSize) return r;
    size = rec->dwNeededSize;
  }
}

// A string of a record by offset and size, bounded to the record.
std::u16string_view RecordString(const std::vector<uint8_t>& rec, DWORD size, DWORD offset) {
  if (offset >= rec.size() || size < sizeof(WCHAR)) return {};
  size = std::min<DWORD>(size, static_cast<DWORD>(rec.size() - offset));
  std::u16string_view text(reinterpret_cast<const WCHAR*>(rec.data() + offset), size / 2);
  return text.substr(0, text.find(u'\0'));
}

std::vector<uint8_t> CallParams(const std::vector<uint8_t>& translated) {
  const auto* out = reinterpret_cast<const LINETRANSLATEOUTPUT*>(translated.data());
  std::u16string_view shown =
      RecordString(translated, out->dwDisplayableStringSize, out->dwDisplayableStringOffset);
  DWORD bytes = static_cast<DWORD>((shown.size() + 1) * sizeof(WCHAR));
  std::vector<uint8_t> buf = NewRecord<LINECALLPARAMS>(kCallParamsSize + bytes);
  auto* p = reinterpret_cast<LINECALLPARAMS*>(buf.data());
  p->dwBearerMode = LINEBEARERMODE_VOICE;
  p->dwMediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
  p->dwCallParamFlags = LINECALLPARAMFLAGS_IDLE;
  p->dwAddressMode = LINEADDRESSMODE_DIALABLEADDR;
  p->dwDisplayableAddressOffset = kCallParamsSize;
  p->dwDisplayableAddressSize = bytes;
  std::copy_n(reinterpret_cast<const uint8_t*>(shown.data()), shown.size() * sizeof(WCHAR),
              buf.data() + kCallParamsSize);
  return buf;
}

// Steps 2 to 6 of placing a call; false at the first failure.
bool PlaceCall(const WCHAR* number) {
  LineState& s = L();
  if (lineOpen(s.LineApp, s.CurrentLine.deviceId, &s.CurrentLine.hLine, s.CurrentLine.apiVersion, 0,
               0, LINECALLPRIVILEGE_NONE, 0, nullptr) != 0)
    return false;
  if (Detailed()) DebugLog(u"MakePhoneCall H=%0X %d", s.CurrentLine.hLine, 0);
  std::vector<uint8_t> translated;
  if (Translate(number, translated) != 0) return false;
  if (Detailed()) DebugLog(u"MakePhoneCall 1");
  std::vector<uint8_t> params = CallParams(translated);
  if (Detailed()) DebugLog(u"MakePhoneCall 2");
  const auto* out = reinterpret_cast<const LINETRANSLATEOUTPUT*>(translated.data());
  std::array<WCHAR, kDialChars> dialable{};
  platform::WCopy(dialable.data(), dialable.size(),
                  RecordString(translated, out->dwDialableStringSize, out->dwDialableStringOffset));
  if (Detailed()) DebugLog(u"MakePhoneCall %s", dialable.data());
  s.MakeCallRequest = lineMakeCall(s.CurrentLine.hLine, &s.OutgoingCall, dialable.data(), 0,
                                   reinterpret_cast<const LINECALLPARAMS*>(params.data()));
  if (Detailed()) DebugLog(u"MakePhoneCall 3 %0X", s.MakeCallRequest);
  return s.MakeCallRequest > 0;
}

}  // namespace

void PhoneKeyAction(UINT key) {
  core::State& g = G();
  if (Detailed()) DebugLog(u"Phone Key %0X", key);
  if (key == kVkAnswer) return PressIncomingSoftKey(1);
  if (key == kVkReject) {
    if (g.CallWaiting) {
      PressIncomingSoftKey(2);
      if (Detailed()) DebugLog(u"End Call %0X", L().OfferingCall);
      return;
    }
    if (!DropOfferedCall()) PressIncomingSoftKey(2);
    return;
  }
  if (key == kVkEnd && g.CallWaiting && g.PhoneDialog) return EndAndAnswer();
  ForwardKey(key);
}

void SendCallKey(UINT key) {
  core::State& g = G();
  PostMessageW(g.SlideWindow, core::kMsgCallEnded, 0, 0);
  SetForegroundWindow(g.PhoneDialog);
  g.CallKeySent = 1;
  BYTE vk = static_cast<BYTE>(key & 0xFF);
  keybd_event(vk, 0, KEYEVENTF_SILENT, 0);
  keybd_event(vk, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
  Sleep(100);
  lock::AwakeSlideScreen(true, false);
}

bool MakePhoneCall(const WCHAR* number) {
  LineState& s = L();
  if (Detailed()) DebugLog(u"MakePhoneCall: %s", number);
  s.MakeCallRequest = 0;
  bool placed = PlaceCall(number);
  if (s.MakeCallRequest <= 0 && s.CurrentLine.hLine) CurrentLineClose();
  if (Detailed()) DebugLog(u"MakePhoneCall End %d", placed ? 1 : 0);
  return placed;
}

}  // namespace telephony
