// Message boxes: modal "Dialog" windows whose loop keeps dispatching every message of the
// calling thread, so timers and posted messages re-enter the program while the box is up.
#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/messages.h"
#include "platform/wstr.h"

using sim::Dev;
using sim::Device;
using sim::Self;
using sim::Window;

namespace {

bool HasCancel(UINT type) {
  return (type & 0xF) != MB_OK;
}

LRESULT DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM) {
  Window* w = Dev().windows().Get(hwnd);
  if (!w) return 0;
  if (msg == WM_COMMAND) {
    int id = static_cast<int>(wp & 0xFFFF);
    if (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO) w->dialogResult = id;
  } else if (msg == WM_CLOSE) {
    w->dialogResult = HasCancel(static_cast<UINT>(w->userData)) ? IDCANCEL : IDOK;
  }
  return 0;
}

void TraceBox(HWND h, std::string text, int result) {
  Dev().windows().TraceWindow(sim::TraceKind::MessageBox, h, static_cast<uint32_t>(result),
                              std::move(text));
}
}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  sim::Thread* self = Dev().scheduler().Current();
  if (!self) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto& windows = Dev().windows();
  sim::WindowClass cls{u"Dialog", &DialogProc, 0};
  DWORD exStyle = (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
  HWND h = windows.Create(
      self, cls, exStyle, std::u16string(caption ? platform::WView(caption) : u"Error"),
      WS_POPUP | WS_CAPTION, Dev().config().workArea, windows.Get(owner) ? owner : 0);
  Window* w = windows.Get(h);
  w->isDialog = true;
  w->dialogText = std::u16string(platform::WView(text));
  w->userData = static_cast<LONG_PTR>(type);
  // Without MB_SETFOREGROUND a box from a background program does not take the foreground.
  windows.SetVisible(h, true, (type & MB_SETFOREGROUND) != 0);
  std::string shown = platform::U8(w->dialogText);
  TraceBox(h, shown.empty() ? " " : shown, 0);

  int result = 0;
  for (;;) {
    Window* box = windows.Get(h);
    if (!box) {
      result = HasCancel(type) ? IDCANCEL : IDOK;
      break;
    }
    if (box->dialogResult) {
      result = box->dialogResult;
      break;
    }
    MSG msg;
    sim::RetrieveMessage(self, &msg, 0, 0, 0, true, true);
    if (msg.message == WM_QUIT) {
      // Leave the modal loop and let the outer loop see the quit as well.
      PostQuitMessage(static_cast<int>(msg.wParam));
      result = HasCancel(type) ? IDCANCEL : IDOK;
      break;
    }
    DispatchMessageW(&msg);
  }
  if (windows.Get(h)) {
    TraceBox(h, {}, result);
    windows.Destroy(h, false);
  }
  return result;
}
