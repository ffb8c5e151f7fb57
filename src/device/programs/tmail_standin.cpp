#include "device/programs/tmail_standin.h"

#include "platform/user.h"

namespace device {

namespace {
// The style the phone's own soft-key window has too.
constexpr DWORD kSoftKeyExStyle = 0x20000000;

LRESULT TmailProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

HWND Make(const WCHAR* cls, const WCHAR* title, DWORD exStyle) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &TmailProc;
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  return CreateWindowExW(exStyle, cls, title, WS_POPUP, 0, 26, 240, 268, 0, 0, 0, nullptr);
}
}  // namespace

int TmailMain(const std::u16string&, int show) {
  HWND h = Make(u"tmail", u"Messaging", 0);
  if (!h) return 1;
  ShowWindow(h, show);
  Make(u"menu_worker", u"", kSoftKeyExStyle);
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace device
