#include "app/files.h"

#include "log/debug_log.h"
#include "platform/files.h"

namespace app {

bool FileExists(const std::u16string& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool FileExistsLogged(const std::u16string& path) {
  bool exists = FileExists(path);
  if (dlog::Detailed()) dlog::DebugLog(u"%s (%d)", path, exists ? 1 : 0);
  return exists;
}

}  // namespace app
