// The device's key path: hardware keys (driven from outside) and synthetic ones (keybd_event)
// pass the installed low-level keyboard hook, and a key the hook does not swallow is posted to
// the window with the focus in the foreground window as WM_KEYDOWN / WM_KEYUP.
#pragma once

#include <map>

#include "platform/hooks.h"
#include "platform/win_types.h"

namespace sim {

class Device;
class Libraries;
struct Process;

struct KeyEvent {
  BYTE vk = 0;
  BYTE scan = 0;
  bool up = false;
  bool injected = false;  // came from keybd_event rather than the keypad
  DWORD extraInfo = 0;
};

// The one low-level hook slot of the device.
struct KeyHook {
  HHOOK handle = 0;
  HOOKPROC proc = nullptr;
  Process* owner = nullptr;
};

class Keyboard {
 public:
  KeyHook hook;
  // The last outcome of each key: true when the hook swallowed it.
  std::map<BYTE, bool> swallowed;

  // Runs the event through the hook, on an input thread in the hook owner's process, and then
  // delivers what passes. Without a live hook the key is delivered at once.
  void Deliver(Device& dev, const KeyEvent& e);
  // Queues the event to run asynchronously, as the device's input thread would.
  void Queue(Device& dev, const KeyEvent& e);
  // Whether a hook is installed by a process still running.
  bool HookInstalled() const;
  void Reset() { *this = Keyboard{}; }
};

// Puts SetWindowsHookExW, UnhookWindowsHookEx and CallNextHookEx into "coredll.dll".
void AddHookExports(Libraries& libraries);

}  // namespace sim
