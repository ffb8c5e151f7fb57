#include "device/programs/shell_standin.h"

#include "platform/user.h"

namespace device {

namespace {
LRESULT ShellProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  // The shell's windows outlive every program: closing them is refused.
  if (msg == WM_CLOSE) return 0;
  return DefWindowProcW(h, msg, wp, lp);
}

HWND Make(const WCHAR* cls, const WCHAR* title, DWORD exStyle, RECT r) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &ShellProc;
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  return CreateWindowExW(exStyle, cls, title, WS_POPUP, r.left, r.top, r.right - r.left,
                         r.bottom - r.top, 0, 0, 0, nullptr);
}
}  // namespace

int ShellMain(const std::u16string&, int) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  HWND desktop = Make(u"DesktopExplorerWindow", u"Desktop", 0, RECT{0, 0, 240, 320});
  HWND taskBar =
      Make(u"HHTaskBar", u"", WS_EX_TOPMOST | WS_EX_TOOLWINDOW, RECT{0, 0, work.right, work.top});
  Make(u"WinCENotify", u"WinCENotify", 0, RECT{0, 0, 0, 0});
  ShowWindow(desktop, SW_SHOW);
  ShowWindow(taskBar, SW_SHOWNA);
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace device
