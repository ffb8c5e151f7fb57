#include "platform/sim/keyboard.h"

#include <cstdio>

#include "platform/kernel.h"
#include "platform/keyboard.h"
#include "platform/sim/api.h"
#include "platform/sim/faults.h"
#include "platform/user.h"

namespace sim {
namespace {
constexpr HHOOK kHookHandle = 0x00A10001u;

void Post(Device& dev, const KeyEvent& e) {
  HWND target = dev.windows().KeyTarget();
  if (target) PostMessageW(target, e.up ? WM_KEYUP : WM_KEYDOWN, e.vk, (e.scan << 16) | 1);
}
}  // namespace

bool Keyboard::HookInstalled() const {
  return hook.handle && hook.owner && !hook.owner->ended;
}

void Keyboard::Deliver(Device& dev, const KeyEvent& e) {
  if (!HookInstalled()) {
    swallowed[e.vk] = false;
    Post(dev, e);
    return;
  }
  // The hook runs in its owner's process, and the key waits for its answer.
  HOOKPROC proc = hook.proc;
  dev.SpawnThread(hook.owner, "input", [&dev, this, e, proc]() -> DWORD {
    KBDLLHOOKSTRUCT rec{e.vk, e.scan, (e.up ? LLKHF_UP : 0u) | (e.injected ? LLKHF_INJECTED : 0u),
                        static_cast<DWORD>(dev.Now()), e.extraInfo};
    LRESULT r = proc(HC_ACTION, e.up ? WM_KEYUP : WM_KEYDOWN, reinterpret_cast<LONG_PTR>(&rec));
    swallowed[e.vk] = r != 0;
    if (r == 0) Post(dev, e);
    return 0;
  });
}

void Keyboard::Queue(Device& dev, const KeyEvent& e) {
  dev.At(dev.Now(), [&dev, this, e] { Deliver(dev, e); });
}

namespace {
HHOOK HookOn(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId) {
  if (StruckWithLastError("SetWindowsHookExW")) return 0;
  auto& kb = Dev().keyboard();
  if (idHook != WH_KEYBOARD_LL || !proc || threadId != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // The device keeps one low-level hook; a second installation is refused.
  if (kb.HookInstalled()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  kb.hook = KeyHook{kHookHandle, proc, Self() ? Self()->process : nullptr};
  Dev().Note("hook installed");
  return kHookHandle;
}

BOOL HookOff(HHOOK h) {
  if (StruckWithLastError("UnhookWindowsHookEx")) return FALSE;
  auto& kb = Dev().keyboard();
  if (!h || h != kb.hook.handle) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  kb.hook = KeyHook{};
  Dev().Note("hook removed");
  return TRUE;
}

LRESULT NextHook(HHOOK, int, WPARAM, LONG_PTR) {
  return 0;  // nothing sits behind the one hook
}
}  // namespace

void AddHookExports(Libraries& libraries) {
  libraries.Add(Library{u"coredll.dll",
                        false,
                        {{u"SetWindowsHookExW", 0, reinterpret_cast<FARPROC>(&HookOn)},
                         {u"UnhookWindowsHookEx", 0, reinterpret_cast<FARPROC>(&HookOff)},
                         {u"CallNextHookEx", 0, reinterpret_cast<FARPROC>(&NextHook)}}});
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
