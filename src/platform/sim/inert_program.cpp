#include "platform/sim/inert_program.h"

#include "platform/user.h"

namespace sim {

namespace {
LRESULT InertProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

ProgramMain InertProgram(const std::u16string& exeName) {
  std::u16string name = exeName.substr(0, exeName.rfind(u'.'));
  return [name](const std::u16string&, int show) -> int {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &InertProc;
    wc.lpszClassName = name.c_str();
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, name.c_str(), name.c_str(), 0, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                             0, 0, 0, nullptr);
    if (!h) return 1;
    ShowWindow(h, show == SW_HIDE ? SW_HIDE : SW_SHOW);
    MSG msg;
    while (GetMessageW(&msg, 0, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
  };
}

}  // namespace sim
