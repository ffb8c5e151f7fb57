#include "device/programs/dolm_standin.h"

#include "platform/user.h"

namespace device {

namespace {
constexpr WCHAR kDolmClass[] = u"Dolm";

LRESULT DolmProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

int DolmMain(const std::u16string&, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DolmProc;
  wc.lpszClassName = kDolmClass;
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, kDolmClass, kDolmClass, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                           0, 0, 0, nullptr);
  if (!h) return 1;
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace device
