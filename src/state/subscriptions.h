// Subscriptions to the shell's state store.
#pragma once

#include "platform/win_types.h"

namespace state {

void RegisterSnapi();
void UnregisterSnapi();
DWORD IsPhoneSkinEnabled();
// Watches the unread-SMS count again in the hive KoreanSMSpatch now names.
void ResubscribeSmsUnread();

}  // namespace state
