// Dismissing the shell's entries of one kind through the shell-services library.
#pragma once

#include "platform/win_types.h"

namespace messaging {

// 0 on success, -1 when the entry list cannot be had, -2 when the last dismissal failed.
int DismissShellEntries(DWORD kind, DWORD argument);

}  // namespace messaging
