#include "platform/win32/procs.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/win32/convert.h"

namespace win32 {
namespace {

struct Tables {
  real::SRWLOCK lock{};
  std::unordered_map<uint16_t, WNDPROC> byClass;
  std::unordered_map<HWND, WNDPROC> byWindow;
  std::unordered_set<LONG_PTR> hostProcs;
};

Tables& T() {
  static Tables t;
  return t;
}

class Locked {
 public:
  Locked() { real::AcquireSRWLockExclusive(&T().lock); }
  ~Locked() { real::ReleaseSRWLockExclusive(&T().lock); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

thread_local std::vector<real::MSG> t_handling;
thread_local real::MSG t_retrieved{};

bool Same(const real::MSG& m, HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  return Device(m.hwnd) == h && m.message == msg && static_cast<WPARAM>(m.wParam) == wp &&
         static_cast<LPARAM>(m.lParam) == lp;
}

WNDPROC Lookup(real::HWND h) {
  Locked l;
  auto w = T().byWindow.find(Device(h));
  if (w != T().byWindow.end()) return w->second;
  auto c = T().byClass.find(static_cast<uint16_t>(real::GetClassLongPtrW(h, real::GCW_ATOM)));
  if (c == T().byClass.end()) return nullptr;
  T().byWindow[Device(h)] = c->second;
  return c->second;
}

}  // namespace

real::LRESULT Trampoline(real::HWND h, real::UINT msg, real::WPARAM wp, real::LPARAM lp) {
  WNDPROC proc = Lookup(h);
  if (!proc) return real::DefWindowProcW(h, msg, wp, lp);
  t_handling.push_back({h, msg, wp, lp, 0, {0, 0}});
  // WM_CREATE's CREATESTRUCT does not fit the device's lParam: the device passes 0.
  LPARAM narrow = msg == WM_CREATE ? 0 : static_cast<LPARAM>(lp);
  LRESULT r = proc(Device(h), msg, static_cast<WPARAM>(wp), narrow);
  t_handling.pop_back();
  if (msg == real::WM_NCDESTROY) ForgetWindow(Device(h));
  return r;
}

void SetClassProc(uint16_t atom, WNDPROC proc) {
  Locked l;
  T().byClass[atom] = proc;
}

WNDPROC WindowProc(HWND h) {
  if (real::GetWindowLongPtrW(Wnd(h), real::GWLP_WNDPROC) !=
      reinterpret_cast<LONG_PTR>(&Trampoline))
    return nullptr;
  return Lookup(Wnd(h));
}

void SetWindowProc(HWND h, WNDPROC proc) {
  Locked l;
  T().byWindow[h] = proc;
}

void ForgetWindow(HWND h) {
  Locked l;
  T().byWindow.erase(h);
}

void NoteHostProc(LONG_PTR proc) {
  Locked l;
  T().hostProcs.insert(proc);
}

bool IsHostProc(LONG_PTR proc) {
  Locked l;
  return T().hostProcs.count(proc) != 0;
}

real::MSG HostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (!t_handling.empty() && Same(t_handling.back(), h, msg, wp, lp)) return t_handling.back();
  if (Same(t_retrieved, h, msg, wp, lp)) return t_retrieved;
  return {Wnd(h), msg, WideW(wp), WideL(lp), 0, {0, 0}};
}

void NoteRetrieved(const real::MSG& m) {
  t_retrieved = m;
}

}  // namespace win32
