// The file-exists test every Part uses.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace app {

// False for an empty path, else whether the file's attributes can be read.
bool FileExists(const std::u16string& path);
// The same, writing "%s (%d)" with the path and the answer to the detailed log.
bool FileExistsLogged(const std::u16string& path);

}  // namespace app
