// The daemon window's handling of the telephony line monitor's call messages.
#pragma once

#include "platform/win_types.h"

namespace app {

void OnTalking(HWND, WPARAM, LPARAM);
void OnIncomingOrEnded(HWND, WPARAM, LPARAM);
void OnDialing(HWND, WPARAM, LPARAM);

}  // namespace app
