// Subscriptions to the shell's state store.
#pragma once

#include "platform/win_types.h"

namespace state {

void RegisterSnapi();
void UnregisterSnapi();
DWORD IsPhoneSkinEnabled();

}  // namespace state
