#include "core/files.h"

#include "platform/files.h"

namespace core {

bool FileExists(const std::u16string& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace core
