// Message previews for the slide screen: the newest unread message of a message store ("SMS",
// "MMS" or an e-mail account), exported to a registry hand-off key, opened, or marked read.
#pragma once

#include "platform/win_types.h"

namespace messaging {

enum class StoreAction { ExportPreview = 0, OpenNewest = 1, MarkRead = 2 };

// Logs on to the messaging system and runs the action on the stores whose display name equals
// `storeName` (a preview of the newest unread message among them all); returns the logon result.
HRESULT RunOnMessageStore(const WCHAR* storeName, StoreAction action);

}  // namespace messaging
