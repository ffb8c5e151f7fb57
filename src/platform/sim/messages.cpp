// Posted and sent messages, the message loop calls and window timers.
#include "platform/sim/messages.h"

#include <algorithm>

#include "platform/kernel.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"

using sim::Dev;
using sim::Device;
using sim::Self;
using sim::Thread;
using sim::Window;

namespace {

struct Filter {
  HWND hwnd;
  UINT min, max;
};

bool InRange(UINT msg, const Filter& f) {
  return (f.min == 0 && f.max == 0) || (msg >= f.min && msg <= f.max);
}

bool Matches(const MSG& m, const Filter& f) {
  if (f.hwnd && m.hwnd != f.hwnd) {
    Window* w = Dev().windows().Get(m.hwnd);
    if (!w || w->parent != f.hwnd) return false;
  }
  return InRange(m.message, f);
}

bool HasPosted(Thread* self, const Filter& f) {
  return std::any_of(self->posted.begin(), self->posted.end(),
                     [&](const MSG& m) { return Matches(m, f); });
}

bool MessageReady(Thread* self, void* ctx) {
  return !self->incoming.empty() || !self->injected.empty() || self->quitPosted ||
         HasPosted(self, *static_cast<Filter*>(ctx));
}

void TraceMessage(sim::TraceKind kind, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Dev().windows().TraceWindow(kind, hwnd, 0, {}, msg, wp, lp);
}

bool PostTo(Window* w, UINT msg, WPARAM wp, LPARAM lp) {
  if (!w->thread || w->thread->killed || w->thread->state == sim::ThreadState::Finished)
    return false;
  TraceMessage(sim::TraceKind::Post, w->hwnd, msg, wp, lp);
  w->thread->posted.push_back(MSG{w->hwnd, msg, wp, lp, static_cast<DWORD>(Dev().Now()), {0, 0}});
  return true;
}
}  // namespace

namespace sim {

void HandleIncomingSends(Thread* self) {
  while (!self->injected.empty()) {
    auto call = std::move(self->injected.front());
    self->injected.pop_front();
    call();
  }
  while (!self->incoming.empty()) {
    SentMessage* m = self->incoming.front();
    self->incoming.pop_front();
    Window* w = Dev().windows().Get(m->hwnd);
    WNDPROC proc = w ? w->proc : nullptr;
    m->result = CallWindowProcW(proc, m->hwnd, m->msg, m->wParam, m->lParam);
    m->done = true;
  }
}

bool RetrieveMessage(Thread* self, MSG* msg, HWND hwnd, UINT min, UINT max, bool remove,
                     bool block) {
  Filter f{hwnd, min, max};
  auto& sched = Dev().scheduler();
  for (;;) {
    // A program that keeps posting to itself never blocks: past the budget it is stopped
    // and the driver reports it.
    if (++sched.steps > sched.stepBudget) sched.Yield();
    HandleIncomingSends(self);
    auto it = std::find_if(self->posted.begin(), self->posted.end(),
                           [&](const MSG& m) { return Matches(m, f); });
    if (it != self->posted.end()) {
      *msg = *it;
      if (remove) self->posted.erase(it);
      return true;
    }
    if (self->quitPosted) {
      *msg = MSG{
          0,     WM_QUIT, static_cast<WPARAM>(self->quitCode), 0, static_cast<DWORD>(Dev().Now()),
          {0, 0}};
      if (remove) self->quitPosted = false;
      return true;
    }
    if (InRange(WM_TIMER, f) && Dev().windows().TakeDueTimer(self, hwnd, msg, remove)) return true;
    if (!block) return false;
    if (!Dev().scheduler().Block({&MessageReady, &f, kNever, true, "GetMessage"})) {
      *msg = MSG{0, WM_QUIT, 0, 0, 0, {0, 0}};
      return true;
    }
  }
}

}  // namespace sim

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (sim::StruckWithLastError("PostMessageW")) return FALSE;
  if (hwnd == 0) return PostThreadMessageW(GetCurrentThreadId(), msg, wp, lp);
  auto& windows = Dev().windows();
  if (hwnd == HWND_BROADCAST) {
    std::vector<HWND> all = windows.ZOrder();
    for (HWND h : all)
      if (Window* w = windows.Get(h)) PostTo(w, msg, wp, lp);
    return TRUE;
  }
  Window* w = windows.Get(hwnd);
  if (!w || !PostTo(w, msg, wp, lp)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wp, LPARAM lp) {
  for (sim::Thread* t : Dev().scheduler().Live()) {
    if (t->id != threadId || t->killed || t->state == sim::ThreadState::Finished) continue;
    t->posted.push_back(MSG{0, msg, wp, lp, static_cast<DWORD>(Dev().Now()), {0, 0}});
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

namespace {
bool SendDone(Thread* self, void* ctx) {
  return static_cast<sim::SentMessage*>(ctx)->done || !self->incoming.empty();
}

void Unqueue(Thread* target, sim::SentMessage* m) {
  auto& q = target->incoming;
  q.erase(std::remove(q.begin(), q.end(), m), q.end());
}
}  // namespace

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* w = Dev().windows().Get(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  TraceMessage(sim::TraceKind::Send, hwnd, msg, wp, lp);
  Thread* self = Self();
  Thread* target = w->thread;
  if (target == self) return CallWindowProcW(w->proc, hwnd, msg, wp, lp);
  if (!target || target->killed || target->state == sim::ThreadState::Finished) return 0;
  sim::SentMessage m{hwnd, msg, wp, lp, 0, false};
  target->incoming.push_back(&m);
  if (!self) {
    // The driver cannot block: it runs the device until the answer comes.
    Dev().RunUntil([&] { return m.done; }, Dev().driverSendLimit);
    if (!m.done) Unqueue(target, &m);
    return m.done ? m.result : 0;
  }
  while (!m.done) {
    // A thread waiting for an answer still answers what is sent to its own windows.
    sim::HandleIncomingSends(self);
    if (m.done) break;
    if (!Dev().scheduler().Block({&SendDone, &m, sim::kNever, false, "SendMessage"})) {
      Unqueue(target, &m);
      return 0;
    }
  }
  return m.result;
}

void PostQuitMessage(int exitCode) {
  if (Thread* self = Self()) {
    self->quitPosted = true;
    self->quitCode = exitCode;
  }
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT min, UINT max) {
  Thread* self = Self();
  if (!self || !msg || (hwnd && !Dev().windows().Get(hwnd))) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  sim::RetrieveMessage(self, msg, hwnd, min, max, true, true);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT min, UINT max, UINT flags) {
  Thread* self = Self();
  if (!self || !msg) return FALSE;
  if (sim::RetrieveMessage(self, msg, hwnd, min, max, (flags & PM_REMOVE) != 0, false)) return TRUE;
  // A polling loop must let the rest of the device run.
  Dev().scheduler().Yield();
  return FALSE;
}

BOOL TranslateMessage(const MSG*) {
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  auto& windows = Dev().windows();
  if (msg->message == WM_TIMER && msg->lParam) {
    for (const auto& t : windows.Timers()) {
      if (t.hwnd == msg->hwnd && t.id == msg->wParam && t.proc) {
        TIMERPROC proc = t.proc;
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
      }
    }
    return 0;
  }
  Window* w = windows.Get(msg->hwnd);
  if (!w || w->thread != Self()) return 0;
  return CallWindowProcW(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

UINT SetTimer(HWND hwnd, UINT id, UINT elapse, TIMERPROC proc) {
  if (sim::StruckWithLastError("SetTimer")) return 0;
  UINT r = Dev().windows().SetTimer(Self(), hwnd, id, elapse, proc);
  if (!r) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return r;
}

BOOL KillTimer(HWND hwnd, UINT id) {
  if (Dev().windows().KillTimer(hwnd, id)) return TRUE;
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
