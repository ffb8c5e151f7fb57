// Windows, their z-order and the foreground, and window timers.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/process.h"
#include "platform/sim/scheduler.h"
#include "platform/user.h"

namespace sim {

struct Window {
  HWND hwnd = 0;
  std::u16string cls;
  std::u16string title;
  // The trace's ids of cls and title, once known; traceTitle names tracedTitle, so a window
  // renamed by any means is traced by its new title.
  uint32_t traceCls = 0;
  uint32_t traceTitle = 0;
  std::u16string tracedTitle;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};
  bool visible = false;
  bool minimized = false;
  Thread* thread = nullptr;
  Process* process = nullptr;
  HWND parent = 0;
  HWND owner = 0;
  HWND focus = 0;  // top-level: the window in it that last had the keyboard focus
  WNDPROC proc = nullptr;
  // The procedure its own process last gave it, and the other process whose replacement
  // procedure it runs now (null: its own).
  WNDPROC ownProc = nullptr;
  Process* subclassedBy = nullptr;
  LONG_PTR userData = 0;
  LONG id = 0;
  std::vector<HWND> children;  // creation order
  // Set while a message box runs its modal loop for this dialog window.
  int dialogResult = 0;
  bool isDialog = false;
  std::u16string dialogText;
};

struct WindowTimer {
  HWND hwnd = 0;
  UINT id = 0;
  UINT period = 0;
  uint64_t due = 0;
  uint64_t seq = 0;  // same due time: the earlier set fires first
  TIMERPROC proc = nullptr;
  Thread* thread = nullptr;
};

// A top-level window as it lived: a handle passed in a message names it for as long as it
// existed (handles are never reused on this device).
struct WindowLife {
  HWND hwnd = 0;
  std::u16string cls;
  uint64_t created = 0;
  uint64_t destroyed = kNever;
};

class Trace;
enum class TraceKind : int;

class WindowManager {
 public:
  WindowManager(Scheduler& scheduler, Trace& trace) : sched_(scheduler), trace_(trace) {}

  Window* Get(HWND h) const;
  HWND Create(Thread* thread, const WindowClass& cls, DWORD exStyle, std::u16string title,
              DWORD style, RECT rect, HWND parent);
  // Removes the window and its children; `notify` sends WM_DESTROY first (DestroyWindow),
  // without it the window just vanishes (its process ended).
  void Destroy(HWND h, bool notify);
  void DestroyAllOf(Process* p);
  void DestroyAllOf(Thread* t);

  // Top-level windows, front first.
  const std::vector<HWND>& ZOrder() const { return zorder_; }
  // Whether `h` was a top-level window of class `cls` (any case) at device time `at`.
  bool WasOfClass(HWND h, std::u16string_view cls, uint64_t at) const;
  // The class of every top-level window there ever was, each once, oldest first.
  std::vector<std::u16string> ClassesEver() const;
  HWND Find(const WCHAR* cls, const WCHAR* title) const;
  // The front-most top-level window of class `cls` (any case), or null. Asked after every
  // step of a run, it answers from the last search while the top-level windows stay as they
  // were.
  const Window* FrontOfClass(std::u16string_view cls) const;
  void BringToTop(HWND h);
  void SendToBottom(HWND h);
  void SetTopmost(HWND h, bool topmost);
  HWND Foreground() const { return foreground_; }
  void SetForeground(HWND h);
  // The keyboard focus: the foreground window or a window in it, else 0. Coming to the front,
  // a window gives the focus back to the one in it that had it last (as a dialog gives it back
  // to its control), or takes it itself.
  HWND Focus() const;
  // `h` gets the focus now if its top-level window is in front, else when that next comes to
  // the front. Answers the window that had the focus.
  HWND SetFocus(HWND h);
  // Where a key goes that no hook swallowed: the focus, else the foreground window.
  HWND KeyTarget() const;
  // Whether a window may take the foreground that a closing or hiding window passes on.
  bool CanTakeForeground(HWND h) const;
  // Visibility; activate = bring to the front and make it the foreground.
  void SetVisible(HWND h, bool visible, bool activate);

  // Timers: a period under 10 ms, 0 included, is 10 ms.
  UINT SetTimer(Thread* thread, HWND h, UINT id, UINT elapse, TIMERPROC proc);
  bool KillTimer(HWND h, UINT id);
  // The due timer a message retrieval on `thread` would report, if any; re-arms it.
  bool TakeDueTimer(Thread* thread, HWND filter, MSG* out, bool remove = true);
  void RecomputeTimerDue(Thread* thread);
  const std::vector<WindowTimer>& Timers() const { return timers_; }

  // Trace helper: class and title of a window as UTF-8.
  void Describe(HWND h, std::string* cls, std::string* title) const;
  std::string Actor() const;
  // The trace's name id of the calling program ("device" outside any program).
  uint32_t ActorId() const;
  static constexpr uint32_t kDeviceActor = 1;
  // Adds an act of the calling program on window `h` to the trace.
  void TraceWindow(TraceKind kind, HWND h, uint32_t value, std::string_view text = {}, UINT msg = 0,
                   WPARAM wParam = 0, LPARAM lParam = 0);

 private:
  void Notify(HWND h, UINT msg, WPARAM wParam);
  void RemoveFromZ(HWND h);
  void InsertZ(HWND h);

  Scheduler& sched_;
  Trace& trace_;
  std::map<HWND, std::unique_ptr<Window>> windows_;
  // The window found last: a program works on one window for several calls in a row.
  mutable HWND lastHandle_ = 0;
  mutable Window* lastWindow_ = nullptr;
  std::vector<HWND> zorder_;
  // Counts the changes of zorder_, which the windows of FrontOfClass's answers go with.
  uint64_t zorderChanges_ = 0;
  struct FrontFound {
    std::u16string cls;
    const Window* window = nullptr;
    uint64_t at = ~uint64_t{0};  // zorderChanges_ when found
  };
  mutable std::array<FrontFound, 2> frontFound_;
  mutable size_t frontNext_ = 0;
  std::vector<WindowLife> lives_;  // every top-level window ever created, by handle
  HWND TopLevelOf(HWND h) const;

  HWND foreground_ = 0;
  HWND focus_ = 0;  // valid only within foreground_ (see Focus)
  HWND next_ = 0x00010010;
  std::vector<WindowTimer> timers_;
  uint64_t timerSeq_ = 0;
  UINT nextThreadTimerId_ = 0x7000;
};

}  // namespace sim
