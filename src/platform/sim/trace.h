// The device trace: every act of a program that another program or the user could observe,
// stamped with the virtual time. Tests and scenario expectations read it; the runner prints it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace sim {

enum class TraceKind : int {
  Post,        // a message posted to a window
  Send,        // a message sent to a window
  SetTimer,    // a window timer set (value = period)
  KillTimer,   // a window timer stopped
  Show,        // a window shown or hidden (value = show command)
  Foreground,  // the foreground window changed
  Position,    // a window moved, resized or re-stacked
  Style,       // a window's style or extended style changed
  Subclass,    // a window's procedure replaced
  Create,      // a top-level window created
  Destroy,     // a top-level window destroyed
  MessageBox,  // a message box shown (text) or closed (value = result)
  Launch,      // a process started (text = command line)
  Exit,        // a process ended (value = exit code)
  Registry,    // a registry value or key written or deleted (text = what)
  File,        // a file created, written or removed (text = what)
  Note,        // anything else a device model reports
};

struct TraceEvent {
  uint64_t time = 0;
  TraceKind kind = TraceKind::Note;
  std::string actor;  // the acting program's executable name, or "device"
  HWND hwnd = 0;
  std::string cls;    // target window class
  std::string title;  // target window title
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  uint32_t value = 0;
  std::string text;
};

class Trace {
 public:
  void Add(TraceEvent e);
  const std::vector<TraceEvent>& Events() const { return events_; }
  void Clear() { events_.clear(); }
  // One readable line, starting with the time as HH:MM:SS.mmm.
  static std::string Render(const TraceEvent& e);
  // The same without the time: "ACTOR WHAT".
  static std::string RenderBody(const TraceEvent& e);
  static std::string FormatTime(uint64_t ms);

  bool enabled = true;
  std::function<void(const TraceEvent&)> live;  // sees each event as it is added

 private:
  std::vector<TraceEvent> events_;
};

}  // namespace sim
