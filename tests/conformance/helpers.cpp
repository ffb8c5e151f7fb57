#include "conformance.h"

namespace conformance {

HWND MakeWindow(const WCHAR* name, WNDPROC proc, DWORD style, HWND parent) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  RegisterClassW(&wc);
  return CreateWindowExW(0, name, name, style, 0, 0, 100, 100, parent, 0, 0, nullptr);
}

namespace {
LRESULT PeerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP) return static_cast<LRESULT>(wp * 2);
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

int PeerMain() {
  MakeWindow(u"CxPeer", &PeerProc, WS_POPUP);
  MSG m;
  while (GetMessageW(&m, 0, 0, 0) > 0) DispatchMessageW(&m);
  return 0;
}

void DrainQueue() {
  MSG m;
  while (PeekMessageW(&m, 0, 0, WM_TIMER - 1, PM_REMOVE)) DispatchMessageW(&m);
  while (PeekMessageW(&m, 0, WM_TIMER + 1, 0xFFFFFFFFu, PM_REMOVE)) DispatchMessageW(&m);
}

}  // namespace conformance
