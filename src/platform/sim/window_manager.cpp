#include <algorithm>

#include "platform/sim/trace.h"
#include "platform/sim/windows.h"
#include "platform/user.h"
#include "platform/wstr.h"

namespace sim {

using platform::IEquals;
using platform::U8;

Window* WindowManager::Get(HWND h) const {
  if (h && h == lastHandle_) return lastWindow_;
  auto it = windows_.find(h);
  if (it == windows_.end()) return nullptr;
  lastHandle_ = h;
  lastWindow_ = it->second.get();
  return lastWindow_;
}

std::string WindowManager::Actor() const {
  Thread* t = sched_.Current();
  return t && t->process ? U8(t->process->exeName) : "device";
}

void WindowManager::Describe(HWND h, std::string* cls, std::string* title) const {
  if (Window* w = Get(h)) {
    *cls = U8(w->cls);
    *title = U8(w->title);
  }
}

uint32_t WindowManager::ActorId() const {
  Thread* t = sched_.Current();
  if (!t || !t->process) return kDeviceActor;
  Process* p = t->process;
  if (!p->traceName) p->traceName = trace_.Name(std::u16string_view(p->exeName));
  return p->traceName;
}

void WindowManager::TraceWindow(TraceKind kind, HWND h, uint32_t value, std::string_view text,
                                UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!trace_.enabled) return;
  TraceRecord r{sched_.Now(), kind, ActorId(), h, 0, 0, msg, wParam, lParam, value};
  if (Window* w = Get(h)) {
    if (!w->traceCls) w->traceCls = trace_.Name(std::u16string_view(w->cls));
    if (!w->traceTitle || w->tracedTitle != w->title) {
      w->traceTitle = trace_.Name(std::u16string_view(w->title));
      w->tracedTitle = w->title;
    }
    r.cls = w->traceCls;
    r.title = w->traceTitle;
  }
  trace_.Add(r, text);
}

// What the system itself tells a window (activation, being shown) arrives as a posted
// message that is not the act of any program, so the trace does not list it.
// The window's own thread gets the message at once, as a sent message; another thread finds it
// in its queue.
void WindowManager::Notify(HWND h, UINT msg, WPARAM wParam) {
  Window* w = Get(h);
  if (!w || !w->thread || w->thread->killed) return;
  if (w->thread == sched_.Current()) {
    CallWindowProcW(w->proc, h, msg, wParam, 0);
    return;
  }
  w->thread->posted.push_back(MSG{h, msg, wParam, 0, static_cast<DWORD>(sched_.Now()), {0, 0}});
}

// Tool windows (the task bar) never take the activation that a closing window passes on.
bool WindowManager::CanTakeForeground(HWND h) const {
  Window* w = Get(h);
  return w && w->visible && !(w->exStyle & WS_EX_TOOLWINDOW);
}

void WindowManager::InsertZ(HWND h) {
  Window* w = Get(h);
  bool topmost = w->exStyle & WS_EX_TOPMOST;
  auto pos = zorder_.begin();
  if (!topmost) {
    while (pos != zorder_.end() && (Get(*pos)->exStyle & WS_EX_TOPMOST)) ++pos;
  }
  zorder_.insert(pos, h);
  ++zorderChanges_;
}

void WindowManager::RemoveFromZ(HWND h) {
  zorder_.erase(std::remove(zorder_.begin(), zorder_.end(), h), zorder_.end());
  ++zorderChanges_;
}

HWND WindowManager::Create(Thread* thread, const WindowClass& cls, DWORD exStyle,
                           std::u16string title, DWORD style, RECT rect, HWND parent) {
  auto w = std::make_unique<Window>();
  HWND h = next_;
  next_ += 4;
  w->hwnd = h;
  w->cls = cls.name;
  w->title = std::move(title);
  w->style = style;
  w->exStyle = exStyle;
  w->rect = rect;
  w->visible = style & WS_VISIBLE;
  w->thread = thread;
  w->process = thread ? thread->process : nullptr;
  w->proc = cls.proc;
  w->ownProc = cls.proc;
  Window* parentWindow = Get(parent);
  if (parentWindow && (style & WS_CHILD)) {
    w->parent = parent;
    parentWindow->children.push_back(h);
  } else {
    w->owner = parentWindow ? parent : 0;
  }
  if (lastHandle_ == h) lastHandle_ = 0;
  windows_[h] = std::move(w);
  if (!Get(h)->parent) {
    lives_.push_back({h, cls.name, sched_.Now()});
    InsertZ(h);
    TraceWindow(TraceKind::Create, h, 0);
  }
  return h;
}

void WindowManager::Destroy(HWND h, bool notify) {
  Window* w = Get(h);
  if (!w) return;
  if (notify && w->proc) CallWindowProcW(w->proc, h, WM_DESTROY, 0, 0);
  w = Get(h);  // the procedure may have destroyed it already
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) Destroy(c, notify);
  w = Get(h);
  if (!w) return;
  Thread* owner = w->thread;
  bool hadTimers = false;
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [&](const WindowTimer& t) {
                                 bool mine = t.hwnd == h;
                                 hadTimers |= mine;
                                 return mine;
                               }),
                timers_.end());
  if (hadTimers && owner) RecomputeTimerDue(owner);
  if (Window* p = Get(w->parent)) {
    p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
  }
  bool topLevel = !w->parent;
  if (topLevel) {
    TraceWindow(TraceKind::Destroy, h, 0);
    auto life = std::lower_bound(lives_.begin(), lives_.end(), h,
                                 [](const WindowLife& l, HWND v) { return l.hwnd < v; });
    if (life != lives_.end() && life->hwnd == h) life->destroyed = sched_.Now();
  }
  RemoveFromZ(h);
  if (lastHandle_ == h) lastHandle_ = 0;
  windows_.erase(h);
  if (foreground_ == h) {
    foreground_ = 0;
    for (HWND z : zorder_) {
      if (CanTakeForeground(z)) {
        SetForeground(z);
        break;
      }
    }
  }
}

void WindowManager::DestroyAllOf(Process* p) {
  std::vector<HWND> mine;
  for (auto& [h, w] : windows_)
    if (w->process == p && !w->parent) mine.push_back(h);
  for (HWND h : mine) Destroy(h, false);
  // A replacement procedure whose code has gone would crash the window's owner; the device
  // gives the window its own procedure back instead.
  for (auto& [h, w] : windows_) {
    if (w->subclassedBy != p) continue;
    w->proc = w->ownProc;
    w->subclassedBy = nullptr;
    TraceWindow(TraceKind::Note, h, 0, "subclass-lost " + U8(w->cls));
  }
}

// A thread's windows die with it, children of other threads' windows included.
void WindowManager::DestroyAllOf(Thread* t) {
  std::vector<HWND> mine;
  for (auto& [h, w] : windows_)
    if (w->thread == t) mine.push_back(h);
  for (HWND h : mine)
    if (Get(h)) Destroy(h, false);
}

HWND WindowManager::Find(const WCHAR* cls, const WCHAR* title) const {
  for (HWND h : zorder_) {
    Window* w = Get(h);
    if (cls && !IEquals(w->cls, platform::WView(cls))) continue;
    if (title && !IEquals(w->title, platform::WView(title))) continue;
    return h;
  }
  return 0;
}

const Window* WindowManager::FrontOfClass(std::u16string_view cls) const {
  for (const FrontFound& f : frontFound_)
    if (f.at == zorderChanges_ && IEquals(f.cls, cls)) return f.window;
  const Window* found = nullptr;
  for (HWND h : zorder_) {
    const Window* w = Get(h);
    if (w && IEquals(w->cls, cls)) {
      found = w;
      break;
    }
  }
  FrontFound& f = frontFound_[frontNext_++ % frontFound_.size()];
  f = {std::u16string(cls), found, zorderChanges_};
  return found;
}

// Inclusive at both ends: a message sent in the millisecond a window came or went may name it.
bool WindowManager::WasOfClass(HWND h, std::u16string_view cls, uint64_t at) const {
  auto life = std::lower_bound(lives_.begin(), lives_.end(), h,
                               [](const WindowLife& l, HWND v) { return l.hwnd < v; });
  return life != lives_.end() && life->hwnd == h && IEquals(life->cls, cls) &&
         life->created <= at && at <= life->destroyed;
}

std::vector<std::u16string> WindowManager::ClassesEver() const {
  std::vector<std::u16string> classes;
  for (const WindowLife& life : lives_)
    if (std::none_of(classes.begin(), classes.end(),
                     [&](const std::u16string& c) { return IEquals(c, life.cls); }))
      classes.push_back(life.cls);
  return classes;
}

void WindowManager::BringToTop(HWND h) {
  if (!Get(h) || Get(h)->parent) return;
  RemoveFromZ(h);
  InsertZ(h);
}

void WindowManager::SendToBottom(HWND h) {
  Window* w = Get(h);
  if (!w || w->parent) return;
  w->exStyle &= ~WS_EX_TOPMOST;
  RemoveFromZ(h);
  zorder_.push_back(h);
  ++zorderChanges_;
}

void WindowManager::SetTopmost(HWND h, bool topmost) {
  Window* w = Get(h);
  if (!w || w->parent) return;
  if (topmost)
    w->exStyle |= WS_EX_TOPMOST;
  else
    w->exStyle &= ~WS_EX_TOPMOST;
  RemoveFromZ(h);
  InsertZ(h);
}

HWND WindowManager::TopLevelOf(HWND h) const {
  while (Window* w = Get(h)) {
    if (!w->parent) return h;
    h = w->parent;
  }
  return 0;
}

void WindowManager::SetForeground(HWND h) {
  h = TopLevelOf(h);
  if (!h) return;
  BringToTop(h);
  if (foreground_ != h) {
    HWND old = foreground_;
    foreground_ = h;
    const HWND kept = Get(h)->focus;
    focus_ = kept && TopLevelOf(kept) == h ? kept : h;
    TraceWindow(TraceKind::Foreground, h, 0);
    Notify(old, WM_ACTIVATE, 0);
    Notify(h, WM_ACTIVATE, 1);
  }
}

HWND WindowManager::Focus() const {
  return foreground_ && TopLevelOf(focus_) == foreground_ ? focus_ : 0;
}

HWND WindowManager::SetFocus(HWND h) {
  const HWND before = Focus();
  if (!h) focus_ = 0;  // keys go to the foreground window itself
  const HWND top = TopLevelOf(h);
  if (!top) return before;
  Get(top)->focus = h;
  if (top == foreground_ && focus_ != h) {
    focus_ = h;
    TraceWindow(TraceKind::Focus, h, 0);
  }
  return before;
}

HWND WindowManager::KeyTarget() const {
  const HWND focus = Focus();
  return focus ? focus : foreground_;
}

void WindowManager::SetVisible(HWND h, bool visible, bool activate) {
  Window* w = Get(h);
  if (!w) return;
  bool was = w->visible;
  w->visible = visible;
  if (visible) w->minimized = false;
  bool child = w->parent != 0;
  if (was != visible) Notify(h, WM_SHOWWINDOW, visible ? 1 : 0);
  if (!Get(h)) return;  // its procedure destroyed it
  if (visible && activate && !child) {
    SetForeground(h);
  } else if (!visible && foreground_ == h) {
    foreground_ = 0;
    for (HWND z : zorder_) {
      if (z != h && CanTakeForeground(z)) {
        SetForeground(z);
        break;
      }
    }
  }
}

namespace {
// A timer shorter than 10 ms, elapse 0 included, runs every 10 ms, as on the desktop.
uint64_t RepeatInterval(UINT elapse) {
  return elapse < 10 ? 10 : elapse;
}
}  // namespace

UINT WindowManager::SetTimer(Thread* thread, HWND h, UINT id, UINT elapse, TIMERPROC proc) {
  if (h) {
    Window* w = Get(h);
    if (!w) return 0;
    thread = w->thread;
  } else {
    if (!thread) return 0;
    id = nextThreadTimerId_++;
  }
  uint64_t due = sched_.Now() + RepeatInterval(elapse);
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const WindowTimer& t) { return t.hwnd == h && t.id == id && h; });
  if (it == timers_.end()) {
    timers_.push_back({});
    it = timers_.end() - 1;
  }
  *it = WindowTimer{h, id, elapse, due, ++timerSeq_, proc, thread};
  RecomputeTimerDue(thread);
  if (h) TraceWindow(TraceKind::SetTimer, h, elapse, {}, id);
  return h ? (id ? id : 1) : id;
}

bool WindowManager::KillTimer(HWND h, UINT id) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const WindowTimer& t) { return t.hwnd == h && t.id == id; });
  if (it == timers_.end()) return false;
  Thread* thread = it->thread;
  timers_.erase(it);
  RecomputeTimerDue(thread);
  if (h) TraceWindow(TraceKind::KillTimer, h, 0, {}, id);
  return true;
}

bool WindowManager::TakeDueTimer(Thread* thread, HWND filter, MSG* out, bool remove) {
  if (thread->timerDue > sched_.Now()) return false;
  WindowTimer* best = nullptr;
  for (auto& t : timers_) {
    if (t.thread != thread || t.due > sched_.Now()) continue;
    if (filter && t.hwnd != filter) continue;
    if (!best || t.due < best->due || (t.due == best->due && t.seq < best->seq)) best = &t;
  }
  if (!best) return false;
  *out = MSG{best->hwnd, WM_TIMER, best->id, best->proc ? 1 : 0, static_cast<DWORD>(sched_.Now()),
             {0, 0}};
  if (!remove) return true;  // peeked at: it stays due
  if (thread->process) ++thread->process->timerFirings[best->id];
  // Periods missed while the queue was busy merge into this one message.
  best->due = sched_.Now() + RepeatInterval(best->period);
  RecomputeTimerDue(thread);
  return true;
}

void WindowManager::RecomputeTimerDue(Thread* thread) {
  if (!thread) return;
  uint64_t due = kNever;
  for (const auto& t : timers_)
    if (t.thread == thread && t.due < due) due = t.due;
  thread->timerDue = due;
}

}  // namespace sim
