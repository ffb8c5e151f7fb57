// The file-exists test every subsystem uses.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace core {

// False for an empty path, else whether the file's attributes can be read.
bool FileExists(const std::u16string& path);

}  // namespace core
