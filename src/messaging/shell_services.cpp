#include "messaging/shell_services.h"

namespace messaging {

// Notification dismissal is not built yet: the library is never loaded.
void LoadShellServices() {}
void UnloadShellServices() {}
void ExportMessagePreview(const WCHAR*) {}
void OpenNewestUnread(const WCHAR*) {}
void MarkNewestUnreadRead(const WCHAR*) {}

}  // namespace messaging
