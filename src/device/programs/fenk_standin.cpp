#include "device/programs/fenk_standin.h"

#include "platform/registry.h"
#include "platform/user.h"

namespace device {

namespace {
constexpr WCHAR kFenkClass[] = u"Fenk";
constexpr WCHAR kFenkKey[] = u"Software\\Zeq\\Fenk";
constexpr WPARAM kPlayPauseCommand = 301;

// Status 0 is playing, 1 paused, as the panel publishes it for other programs.
void Publish(const WCHAR* title, DWORD status) {
  // The shell's helpers write only into a key that exists.
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kFenkKey, 0, nullptr, 0, 0, nullptr, &key, &disposition) ==
      ERROR_SUCCESS)
    RegCloseKey(key);
  RegistrySetString(HKEY_CURRENT_USER, kFenkKey, u"CurrentTitle", title);
  RegistrySetDWORD(HKEY_CURRENT_USER, kFenkKey, u"Status", status);
}

LRESULT FenkProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (wp == kPlayPauseCommand) {
        DWORD status = 0;
        RegistryGetDWORD(HKEY_CURRENT_USER, kFenkKey, u"Status", &status);
        RegistrySetDWORD(HKEY_CURRENT_USER, kFenkKey, u"Status", status == 0 ? 1 : 0);
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

// A second launch brings the running panel to the front instead of opening another.
int FenkMain(const std::u16string&, int) {
  if (HWND running = FindWindowW(kFenkClass, kFenkClass)) {
    SetForegroundWindow(running);
    return 0;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = &FenkProc;
  wc.lpszClassName = kFenkClass;
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, kFenkClass, kFenkClass, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                           0, 0, 0, nullptr);
  if (!h) return 1;
  Publish(u"Morning Track", 0);
  ShowWindow(h, SW_SHOW);
  SetForegroundWindow(h);
  MSG msg;
  while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

}  // namespace device
