// Window procedures of the device's shape behind real windows. A real window whose procedure
// is the device's runs `Trampoline`, which narrows the parameters and calls the device
// procedure; the message's full host parameters stay on a per-thread stack so that
// DefWindowProc and DispatchMessage hand the host its own pointers back unchanged.
#pragma once

#include "platform/user.h"
#include "platform/win32/real.h"

namespace win32 {

real::LRESULT Trampoline(real::HWND h, real::UINT msg, real::WPARAM wp, real::LPARAM lp);

// Device procedures by class atom (RegisterClassW) and by window (after the first message or
// a SetWindowLong); null when the window runs a host procedure.
void SetClassProc(uint16_t atom, WNDPROC proc);
WNDPROC WindowProc(HWND h);
void SetWindowProc(HWND h, WNDPROC proc);
void ForgetWindow(HWND h);

// Host procedures the device code received from GetWindowLong: CallWindowProc and
// SetWindowLong recognise them and hand them back to the host.
void NoteHostProc(LONG_PTR proc);
bool IsHostProc(LONG_PTR proc);

// The host form of a message the device code holds: the full parameters of the message being
// handled or last retrieved on this thread when it is the same message, else widened.
real::MSG HostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);
void NoteRetrieved(const real::MSG& m);

}  // namespace win32
