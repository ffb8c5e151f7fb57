// The shell-services library used to dismiss notifications.
#pragma once

#include "platform/win_types.h"

namespace messaging {

void LoadShellServices();
void UnloadShellServices();

// Message previews of a store ("SMS", "MMS" or an e-mail account).
void ExportMessagePreview(const WCHAR* store);
void OpenNewestUnread(const WCHAR* store);
void MarkNewestUnreadRead(const WCHAR* store);

}  // namespace messaging
