#include "platform/sim/keyboard.h"

#include <cstdio>

#include "platform/keyboard.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/user.h"

namespace sim {

bool Keyboard::Deliver(Device& dev, const KeyEvent& e) {
  if (hooks && hooks(e)) return false;
  HWND front = dev.windows().Foreground();
  if (!front) return false;
  PostMessageW(front, e.up ? WM_KEYUP : WM_KEYDOWN, e.vk, (e.scan << 16) | 1);
  return true;
}

void Keyboard::Queue(Device& dev, const KeyEvent& e) {
  dev.At(dev.Now(), [&dev, this, e] { Deliver(dev, e); });
}

}  // namespace sim

void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, DWORD extraInfo) {
  auto& dev = sim::Dev();
  char buf[48];
  std::snprintf(buf, sizeof buf, "keybd_event vk=0x%02X %s", virtualKey,
                flags & KEYEVENTF_KEYUP ? "up" : "down");
  dev.Note(buf, virtualKey);
  dev.keyboard().Queue(
      dev, sim::KeyEvent{virtualKey, scanCode, (flags & KEYEVENTF_KEYUP) != 0, true, extraInfo});
}
