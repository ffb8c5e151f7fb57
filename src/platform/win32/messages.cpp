// Messages, timers and message boxes: straight to user32. Retrieved messages keep their full
// host parameters on the thread so that DispatchMessage hands them back unchanged.
#include <map>
#include <utility>

#include "platform/user.h"
#include "platform/win32/convert.h"
#include "platform/win32/procs.h"

using namespace win32;

namespace {

void ToDevice(const real::MSG& m, MSG* out) {
  NoteRetrieved(m);
  *out = {
      Device(m.hwnd), m.message,       static_cast<WPARAM>(m.wParam), static_cast<LPARAM>(m.lParam),
      m.time,         {m.pt.x, m.pt.y}};
}

real::MSG ToHost(const MSG* m) {
  real::MSG r = HostMessage(m->hwnd, m->message, m->wParam, m->lParam);
  r.time = m->time;
  r.pt = {m->pt.x, m->pt.y};
  return r;
}

// Device timer procedures by (window, id): the host calls TimerThunk, which calls them with the
// device's parameters.
struct Timers {
  real::SRWLOCK lock{};
  std::map<std::pair<HWND, UINT>, TIMERPROC> procs;
};
Timers& TimerTable() {
  static Timers t;
  return t;
}

TIMERPROC FindTimerProc(HWND h, UINT id) {
  Timers& t = TimerTable();
  real::AcquireSRWLockExclusive(&t.lock);
  auto it = t.procs.find({h, id});
  TIMERPROC proc = it == t.procs.end() ? nullptr : it->second;
  real::ReleaseSRWLockExclusive(&t.lock);
  return proc;
}

void SetTimerProc(HWND h, UINT id, TIMERPROC proc) {
  Timers& t = TimerTable();
  real::AcquireSRWLockExclusive(&t.lock);
  if (proc)
    t.procs[{h, id}] = proc;
  else
    t.procs.erase({h, id});
  real::ReleaseSRWLockExclusive(&t.lock);
}

void TimerThunk(real::HWND h, real::UINT msg, real::UINT_PTR id, real::DWORD time) {
  if (TIMERPROC proc = FindTimerProc(Device(h), static_cast<UINT>(id)))
    proc(Device(h), msg, static_cast<UINT>(id), time);
}

}  // namespace

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return real::PostMessageW(Wnd(hwnd), msg, WideW(wParam), WideL(lParam));
}
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  return real::PostThreadMessageW(threadId, msg, WideW(wParam), WideL(lParam));
}
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return static_cast<LRESULT>(real::SendMessageW(Wnd(hwnd), msg, WideW(wParam), WideL(lParam)));
}
void PostQuitMessage(int exitCode) {
  real::PostQuitMessage(exitCode);
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  real::MSG m{};
  BOOL r = real::GetMessageW(&m, Wnd(hwnd), filterMin, filterMax);
  if (r != -1) ToDevice(m, msg);
  return r;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  real::MSG m{};
  BOOL r = real::PeekMessageW(&m, Wnd(hwnd), filterMin, filterMax, removeFlags);
  if (r) ToDevice(m, msg);
  return r;
}

BOOL TranslateMessage(const MSG* msg) {
  real::MSG m = ToHost(msg);
  return real::TranslateMessage(&m);
}

LRESULT DispatchMessageW(const MSG* msg) {
  real::MSG m = ToHost(msg);
  return static_cast<LRESULT>(real::DispatchMessageW(&m));
}

UINT SetTimer(HWND hwnd, UINT id, UINT elapse, TIMERPROC proc) {
  auto got = static_cast<UINT>(real::SetTimer(Wnd(hwnd), id, elapse, proc ? &TimerThunk : nullptr));
  if (got) SetTimerProc(hwnd, got, proc);
  return got;
}

BOOL KillTimer(HWND hwnd, UINT id) {
  BOOL r = real::KillTimer(Wnd(hwnd), id);
  if (r) SetTimerProc(hwnd, id, nullptr);
  return r;
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  return real::MessageBoxW(Wnd(owner), W(text), W(caption), type);
}

BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID pvParam, UINT winIni) {
  return real::SystemParametersInfoW(action, uiParam, pvParam, winIni);
}
