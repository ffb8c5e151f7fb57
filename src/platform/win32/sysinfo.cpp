// Version and the screen's device context: kernel32, user32 and gdi32.
#include "platform/sysinfo.h"

#include "platform/win32/convert.h"

using namespace win32;

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  return real::GetVersionExW(info);
}
HDC GetDC(HWND hwnd) {
  return Device(real::GetDC(Wnd(hwnd)));
}
int ReleaseDC(HWND hwnd, HDC hdc) {
  return real::ReleaseDC(Wnd(hwnd), Host(hdc));
}
int ExtEscape(HDC hdc, int escape, int inputSize, LPCSTR input, int outputSize, LPSTR output) {
  return real::ExtEscape(Host(hdc), escape, inputSize, input, outputSize, output);
}
