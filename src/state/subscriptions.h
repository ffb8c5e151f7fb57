// Subscriptions to the shell's state store: the registry values whose changes reach the
// daemon window as private messages.
#pragma once

#include <array>

#include "platform/registry.h"
#include "platform/win_types.h"

namespace state {

constexpr int kSubscriptionSlots = 51;
constexpr int kFirstMailStorageSlot = 26;
constexpr int kMaxMailStorages = 10;

// The calling process's subscription handles by slot (0 = empty). Slot 36 is never used.
std::array<HREGNOTIFY, kSubscriptionSlots>& Subscriptions();

// Closes every subscription, then subscribes them all in slot order; returns the result of the
// last registration tried (negative when one failed and the rest were not tried).
HRESULT RegisterSnapi();
// Closes every subscription; safe to repeat.
void UnregisterSnapi();
// The "Enabled" flag of the phone skin (0 when absent).
DWORD IsPhoneSkinEnabled();
// Watches the unread-SMS count again in the hive KoreanSMSpatch now names and takes the count
// found there as the one a rise is measured against.
void ResubscribeSmsUnread();

}  // namespace state
