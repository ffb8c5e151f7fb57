// The device's key path: hardware keys (driven from outside) and synthetic ones (keybd_event)
// pass the installed low-level hooks, and a key no hook swallows is posted to the foreground
// window as WM_KEYDOWN / WM_KEYUP.
#pragma once

#include <functional>

#include "platform/win_types.h"

namespace sim {

class Device;

struct KeyEvent {
  BYTE vk = 0;
  BYTE scan = 0;
  bool up = false;
  bool injected = false;  // came from keybd_event rather than the keypad
  DWORD extraInfo = 0;
};

class Keyboard {
 public:
  // Asks the installed hooks, in front of the delivery; true means a hook swallowed the key.
  // The hook model sets this; without one every key passes.
  std::function<bool(const KeyEvent&)> hooks;

  // Runs the event through the hooks and delivers it; true when it reached a window.
  bool Deliver(Device& dev, const KeyEvent& e);
  // Queues the event to run asynchronously, as the device's input thread would.
  void Queue(Device& dev, const KeyEvent& e);
};

}  // namespace sim
