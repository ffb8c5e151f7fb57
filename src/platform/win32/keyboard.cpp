// Synthetic key events: straight to user32.
#include "platform/keyboard.h"

#include "platform/win32/convert.h"

// The device's KEYEVENTF_SILENT (no key click) is the desktop's KEYEVENTF_UNICODE, which would
// turn the key into a character: the desktop makes no click, so the flag is dropped.
void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, DWORD extraInfo) {
  real::keybd_event(virtualKey, scanCode, flags & ~KEYEVENTF_SILENT, extraInfo);
}
