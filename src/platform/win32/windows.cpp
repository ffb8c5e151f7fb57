// Window classes and windows: straight to user32, with device window procedures behind the
// trampoline. An instance is a module as LoadLibrary and GetModuleHandle number them.
#include "platform/user.h"
#include "platform/win32/convert.h"
#include "platform/win32/procs.h"

using namespace win32;

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc) {
    real::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  real::WNDCLASSW rc{wc->style,
                     &Trampoline,
                     wc->cbClsExtra,
                     wc->cbWndExtra,
                     HostModule(wc->hInstance),
                     Host(wc->hIcon),
                     Host(wc->hCursor),
                     Host(wc->hbrBackground),
                     W(wc->lpszMenuName),
                     W(wc->lpszClassName)};
  ATOM atom = real::RegisterClassW(&rc);
  if (atom) SetClassProc(atom, wc->lpfnWndProc);
  return atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
  return real::UnregisterClassW(W(className), HostModule(instance));
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  return Device(real::CreateWindowExW(exStyle, W(className), W(title), style, x, y, width, height,
                                      Wnd(parent), Host(menu), HostModule(instance), param));
}

BOOL DestroyWindow(HWND hwnd) {
  return real::DestroyWindow(Wnd(hwnd));
}
BOOL IsWindow(HWND hwnd) {
  return real::IsWindow(Wnd(hwnd));
}
BOOL IsWindowVisible(HWND hwnd) {
  return real::IsWindowVisible(Wnd(hwnd));
}
HWND FindWindowW(LPCWSTR className, LPCWSTR title) {
  return Device(real::FindWindowW(W(className), W(title)));
}
BOOL ShowWindow(HWND hwnd, int cmdShow) {
  return real::ShowWindow(Wnd(hwnd), cmdShow);
}
BOOL SetForegroundWindow(HWND hwnd) {
  return real::SetForegroundWindow(Wnd(hwnd));
}
HWND GetForegroundWindow() {
  return Device(real::GetForegroundWindow());
}
HWND SetFocus(HWND hwnd) {
  return Device(real::SetFocus(Wnd(hwnd)));
}
HWND GetFocus() {
  return Device(real::GetFocus());
}
// The device's desktop window is the shell's own window, absent while the shell has none. The
// desktop's GetDesktopWindow is the root every window hangs from and always exists; the
// shell's window there is GetShellWindow's.
HWND GetDesktopWindow() {
  return Device(real::GetShellWindow());
}
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return real::SetWindowPos(Wnd(hwnd), Wnd(insertAfter), x, y, cx, cy, flags);
}
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return real::MoveWindow(Wnd(hwnd), x, y, width, height, repaint);
}
BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  return real::GetWindowRect(Wnd(hwnd), reinterpret_cast<real::RECT*>(rect));
}

LONG_PTR GetWindowLongW(HWND hwnd, int index) {
  if (index != GWL_WNDPROC) return real::GetWindowLongPtrW(Wnd(hwnd), index);
  if (WNDPROC proc = WindowProc(hwnd)) return reinterpret_cast<LONG_PTR>(proc);
  LONG_PTR host = real::GetWindowLongPtrW(Wnd(hwnd), real::GWLP_WNDPROC);
  if (host) NoteHostProc(host);
  return host;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value) {
  if (index != GWL_WNDPROC) return real::SetWindowLongPtrW(Wnd(hwnd), index, value);
  if (!real::IsWindow(Wnd(hwnd))) {
    real::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = GetWindowLongW(hwnd, GWL_WNDPROC);
  if (IsHostProc(value)) {
    ForgetWindow(hwnd);
    real::SetWindowLongPtrW(Wnd(hwnd), real::GWLP_WNDPROC, value);
  } else {
    SetWindowProc(hwnd, reinterpret_cast<WNDPROC>(value));
    real::SetWindowLongPtrW(Wnd(hwnd), real::GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Trampoline));
  }
  return old;
}

namespace {
// A host procedure handed out by GetWindowLong, back in its own type.
real::WNDPROC HostProc(WNDPROC proc) {
  return reinterpret_cast<real::WNDPROC>(reinterpret_cast<void (*)()>(proc));
}
}  // namespace

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!proc) return 0;
  if (!IsHostProc(reinterpret_cast<LONG_PTR>(proc))) return proc(hwnd, msg, wParam, lParam);
  real::MSG m = HostMessage(hwnd, msg, wParam, lParam);
  return static_cast<LRESULT>(
      real::CallWindowProcW(HostProc(proc), m.hwnd, msg, m.wParam, m.lParam));
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  real::MSG m = HostMessage(hwnd, msg, wParam, lParam);
  return static_cast<LRESULT>(real::DefWindowProcW(m.hwnd, msg, m.wParam, m.lParam));
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  return real::GetWindowThreadProcessId(Wnd(hwnd), processId);
}

namespace {
struct EnumContext {
  WNDENUMPROC proc;
  LONG_PTR context;
};
real::BOOL EnumThunk(real::HWND h, real::LPARAM p) {
  auto* c = reinterpret_cast<EnumContext*>(p);
  return c->proc(Device(h), c->context);
}
}  // namespace

BOOL EnumWindows(WNDENUMPROC proc, LONG_PTR context) {
  EnumContext c{proc, context};
  return real::EnumWindows(&EnumThunk, reinterpret_cast<real::LPARAM>(&c));
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
  return real::GetClassNameW(Wnd(hwnd), W(buffer), maxCount);
}
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  return real::GetWindowTextW(Wnd(hwnd), W(buffer), maxCount);
}
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  return real::SetWindowTextW(Wnd(hwnd), W(text));
}
HWND GetWindow(HWND hwnd, UINT cmd) {
  return Device(real::GetWindow(Wnd(hwnd), cmd));
}
HWND GetParent(HWND hwnd) {
  return Device(real::GetParent(Wnd(hwnd)));
}
