// Window calls on the simulated device.
#include <algorithm>
#include <cstdio>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/wstr.h"

using sim::Dev;
using sim::Device;
using sim::Self;
using sim::Thread;
using sim::Window;

namespace {

Window* Win(HWND h) {
  Window* w = Dev().windows().Get(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

void TraceOn(sim::TraceKind kind, HWND h, uint32_t value, std::string text) {
  Dev().windows().TraceWindow(kind, h, value, std::move(text));
}

std::string RectText(const RECT& r) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "(%d,%d)-(%d,%d)", r.left, r.top, r.right, r.bottom);
  return buf;
}

std::string HexText(const char* what, uint32_t v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s=0x%08X", what, v);
  return buf;
}
}  // namespace

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (sim::StruckWithLastError("RegisterClassW")) return 0;
  Thread* self = Self();
  if (!wc || !wc->lpszClassName || !self || !self->process) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& classes = self->process->classes;
  std::u16string_view name = platform::WView(wc->lpszClassName);
  for (const auto& c : classes) {
    if (platform::IEquals(c.name, name)) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);
      return 0;
    }
  }
  classes.push_back({std::u16string(name), wc->lpfnWndProc, wc->style});
  return static_cast<ATOM>(0xC000 + classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  Thread* self = Self();
  if (!self || !self->process) return FALSE;
  auto& classes = self->process->classes;
  auto it = std::find_if(classes.begin(), classes.end(), [&](const sim::WindowClass& c) {
    return platform::IEquals(c.name, platform::WView(className));
  });
  if (it == classes.end()) return FALSE;
  classes.erase(it);
  return TRUE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU, HINSTANCE, LPVOID) {
  if (sim::StruckWithLastError("CreateWindowExW")) return 0;
  Thread* self = Self();
  if (!self || !self->process || !className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const sim::WindowClass* cls = nullptr;
  for (const auto& c : self->process->classes)
    if (platform::IEquals(c.name, platform::WView(className))) cls = &c;
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return 0;
  }
  RECT area = Dev().config().workArea;
  RECT r{x, y, x + width, y + height};
  if (x == CW_USEDEFAULT) r = area;
  auto& windows = Dev().windows();
  HWND h = windows.Create(self, *cls, exStyle, std::u16string(platform::WView(title)),
                          style & ~WS_VISIBLE, r, parent);
  if (CallWindowProcW(cls->proc, h, WM_CREATE, 0, 0) == -1) {
    windows.Destroy(h, false);
    return 0;
  }
  if ((style & WS_VISIBLE) && windows.Get(h)) windows.SetVisible(h, true, true);
  return h;
}

BOOL DestroyWindow(HWND hwnd) {
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  if (w->thread != Self()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Dev().windows().Destroy(hwnd, true);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  return Dev().windows().Get(hwnd) != nullptr;
}

// Visible only with every ancestor visible.
BOOL IsWindowVisible(HWND hwnd) {
  Window* w = Dev().windows().Get(hwnd);
  if (!w) return FALSE;
  for (; w; w = Dev().windows().Get(w->parent))
    if (!w->visible) return FALSE;
  return TRUE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title) {
  if (sim::StruckWithLastError("FindWindowW")) return 0;
  return Dev().windows().Find(className, title);
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  BOOL was = w->visible;
  auto& windows = Dev().windows();
  TraceOn(sim::TraceKind::Show, hwnd, static_cast<uint32_t>(cmd), {});
  switch (cmd) {
    case SW_HIDE:
      windows.SetVisible(hwnd, false, false);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      // The device has no minimised state to show: the window goes behind all others and
      // the next one takes the foreground.
      windows.SetVisible(hwnd, true, false);
      if (!(w = Win(hwnd))) break;  // its procedure destroyed it
      w->minimized = true;
      windows.SendToBottom(hwnd);
      if (windows.Foreground() == hwnd) {
        for (HWND z : windows.ZOrder()) {
          if (z != hwnd && windows.CanTakeForeground(z)) {
            windows.SetForeground(z);
            break;
          }
        }
      }
      break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      windows.SetVisible(hwnd, true, false);
      break;
    default:
      windows.SetVisible(hwnd, true, true);
      break;
  }
  return was;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (sim::StruckWithLastError("SetForegroundWindow")) return FALSE;
  HWND h = hwnd & ~1u;  // bit 0 asks for the last active owned window, which is the window here
  if (!Win(h)) return FALSE;
  Dev().windows().SetForeground(h);
  return TRUE;
}

HWND GetForegroundWindow() {
  return Dev().windows().Foreground();
}

// The focus may be given to a window of another thread, as the phone's call keys need.
HWND SetFocus(HWND hwnd) {
  if (sim::StruckWithLastError("SetFocus")) return 0;
  if (hwnd && !Win(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return Dev().windows().SetFocus(hwnd);
}

// As on the desktop: the focus window only when it belongs to the calling thread.
HWND GetFocus() {
  HWND focus = Dev().windows().Focus();
  Window* w = Win(focus);
  return w && w->thread == Self() ? focus : 0;
}

HWND GetDesktopWindow() {
  return Dev().windows().Find(u"DesktopExplorerWindow", nullptr);
}

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  if (sim::StruckWithLastError("SHFullScreen")) return FALSE;
  if (!Win(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  constexpr DWORD kHide = SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON;
  bool refused = (state & kHide) && Dev().windows().Foreground() != hwnd;
  char buf[48];
  std::snprintf(buf, sizeof buf, "SHFullScreen 0x%X %s", state, refused ? "refused" : "done");
  Dev().Note(buf, state);
  if (refused) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  if (sim::StruckWithLastError("SetWindowPos")) return FALSE;
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  auto& windows = Dev().windows();
  bool showHide = flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW);
  if (!showHide) {
    if (!(flags & SWP_NOMOVE)) {
      LONG wd = w->rect.right - w->rect.left, ht = w->rect.bottom - w->rect.top;
      w->rect = RECT{x, y, x + wd, y + ht};
    }
    if (!(flags & SWP_NOSIZE)) {
      w->rect.right = w->rect.left + cx;
      w->rect.bottom = w->rect.top + cy;
    }
  }
  std::string z;
  if (!(flags & SWP_NOZORDER)) {
    if (after == HWND_TOPMOST) {
      windows.SetTopmost(hwnd, true);
      z = " topmost";
    } else if (after == HWND_NOTOPMOST) {
      windows.SetTopmost(hwnd, false);
      z = " not-topmost";
    } else if (after == HWND_BOTTOM) {
      windows.SendToBottom(hwnd);
      z = " bottom";
    } else {
      windows.BringToTop(hwnd);
      z = " top";
    }
  }
  if (flags & SWP_HIDEWINDOW) windows.SetVisible(hwnd, false, false);
  if (flags & SWP_SHOWWINDOW) windows.SetVisible(hwnd, true, !(flags & SWP_NOACTIVATE));
  if (!(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW)) && !w->parent) windows.SetForeground(hwnd);
  TraceOn(sim::TraceKind::Position, hwnd, flags, RectText(w->rect) + z + HexText(" flags", flags));
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  w->rect = RECT{x, y, x + width, y + height};
  TraceOn(sim::TraceKind::Position, hwnd, 0, RectText(w->rect));
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  Window* w = Win(hwnd);
  if (!w || !rect) return FALSE;
  // A child's position is kept relative to its parent; the rectangle is on the screen.
  *rect = w->rect;
  for (Window* p = Win(w->parent); p; p = Win(p->parent)) {
    rect->left += p->rect.left;
    rect->right += p->rect.left;
    rect->top += p->rect.top;
    rect->bottom += p->rect.top;
  }
  return TRUE;
}

LONG_PTR GetWindowLongW(HWND hwnd, int index) {
  Window* w = Win(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_STYLE:  // WS_VISIBLE tells the window's own visibility
      return static_cast<LONG_PTR>((w->style & ~WS_VISIBLE) | (w->visible ? WS_VISIBLE : 0));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA:
      return w->userData;
    case GWL_ID:
      return w->id;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value) {
  if (sim::StruckWithLastError("SetWindowLongW")) return 0;
  Window* w = Win(hwnd);
  if (!w) return 0;
  SetLastError(0);
  LONG_PTR old = 0;
  switch (index) {
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      if (Self() && Self()->process == w->process) {
        w->ownProc = w->proc;
        w->subclassedBy = nullptr;
      } else {
        w->subclassedBy = w->proc == w->ownProc ? nullptr : Self() ? Self()->process : nullptr;
      }
      TraceOn(sim::TraceKind::Subclass, hwnd, 0, {});
      return old;
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      TraceOn(sim::TraceKind::Style, hwnd, w->style, HexText("style", w->style));
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      TraceOn(sim::TraceKind::Style, hwnd, w->exStyle, HexText("exstyle", w->exStyle));
      return old;
    case GWL_USERDATA:
      old = w->userData;
      w->userData = value;
      return old;
    case GWL_ID:
      old = w->id;
      w->id = static_cast<LONG>(value);
      return old;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

// A procedure another process put into the window runs on the owner's thread but sees its
// installer's process-wide data, as code reached through that process's slot does on CE 5.
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!proc) return 0;
  Window* w = Win(hwnd);
  // Whether a message gets past another process's replacement procedure is up to that
  // replacement, so the trace keeps (unprinted) each one a top-level window's own procedure gets.
  if (w && !w->parent && proc == w->ownProc)
    Dev().windows().TraceWindow(sim::TraceKind::Reached, hwnd, 0, {}, msg, wp, lp);
  sim::Thread* self = Self();
  if (!self || !w) return proc(hwnd, msg, wp, lp);
  sim::Process* code = w->subclassedBy && proc == w->proc ? w->subclassedBy : w->process;
  sim::Process* before = self->dataProcess;
  self->dataProcess = code == self->process ? nullptr : code;
  LRESULT r = proc(hwnd, msg, wp, lp);
  self->dataProcess = before;
  return r;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM, LPARAM) {
  if (msg == WM_CLOSE) DestroyWindow(hwnd);
  return 0;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  Window* w = Win(hwnd);
  if (!w) return 0;
  if (processId) *processId = w->process ? w->process->pid : 0;
  return w->thread ? w->thread->id : 0;
}

BOOL EnumWindows(WNDENUMPROC proc, LONG_PTR context) {
  if (!proc) return FALSE;
  std::vector<HWND> all = Dev().windows().ZOrder();
  for (HWND h : all) {
    if (!Dev().windows().Get(h)) continue;
    if (!proc(h, context)) return FALSE;
  }
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
  Window* w = Win(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  return static_cast<int>(platform::WCopy(buffer, static_cast<size_t>(maxCount), w->cls));
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  Window* w = Win(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  return static_cast<int>(platform::WCopy(buffer, static_cast<size_t>(maxCount), w->title));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  Window* w = Win(hwnd);
  if (!w) return FALSE;
  w->title = std::u16string(platform::WView(text));
  return TRUE;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
  Window* w = Win(hwnd);
  if (!w) return 0;
  auto& windows = Dev().windows();
  const std::vector<HWND>* list = &windows.ZOrder();
  if (w->parent) list = &windows.Get(w->parent)->children;
  auto pos = std::find(list->begin(), list->end(), hwnd);
  switch (cmd) {
    case GW_CHILD:
      return w->children.empty() ? 0 : w->children.front();
    case GW_OWNER:
      return w->owner;
    case GW_HWNDFIRST:
      return list->empty() ? 0 : list->front();
    case GW_HWNDLAST:
      return list->empty() ? 0 : list->back();
    case GW_HWNDNEXT:
      return pos == list->end() || pos + 1 == list->end() ? 0 : *(pos + 1);
    case GW_HWNDPREV:
      return pos == list->begin() || pos == list->end() ? 0 : *(pos - 1);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

HWND GetParent(HWND hwnd) {
  Window* w = Win(hwnd);
  if (!w) return 0;
  return w->parent ? w->parent : w->owner;
}

BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pv, UINT) {
  if (sim::StruckWithLastError("SystemParametersInfoW")) return FALSE;
  auto& config = Dev().config();
  if (!pv) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (action) {
    case SPI_GETWORKAREA:
      *static_cast<RECT*>(pv) = config.workArea;
      return TRUE;
    case SPI_GETOEMINFO:
    case SPI_GETPLATFORMTYPE: {
      // uiParam is the buffer's size in bytes.
      const std::u16string& text = action == SPI_GETOEMINFO ? config.oemInfo : config.platformType;
      size_t chars = uiParam / sizeof(WCHAR);
      if (chars <= text.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
      }
      platform::WCopy(static_cast<WCHAR*>(pv), chars, text);
      return TRUE;
    }
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
