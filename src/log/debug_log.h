// The debug log: "Dorvane2.log" beside the executable, UTF-16LE with a byte-order mark, one
// "HH:MM:SS \t<message>\r\n" line per call. Detailed lines are written only when the in-memory
// DebugOn is set: callers test Detailed() first.
#pragma once

#include <string>
#include <string_view>

#include "platform/formatw.h"
#include "platform/win_types.h"

namespace dlog {

constexpr size_t kMessageChars = 256;  // 255 and the terminator
constexpr size_t kLineChars = 260;     // 259 and the terminator

// Opens (empties) the log; with DebugOn stored, first keeps the nine previous generations.
void OpenDebugLog(std::u16string_view fileName);
// Writes one line stamped with the local time; nothing while the log is not open.
void WriteDebugLine(std::u16string_view text);
// Writes "quit" and closes the log.
void CloseDebugLog();
// Whether detailed lines are wanted (the in-memory DebugOn).
bool Detailed();
// The file-exists test, writing "%s (%d)" with the path and the answer to the detailed log.
bool FileExistsLogged(const std::u16string& path);

template <typename... A>
void DebugLog(std::u16string_view format, const A&... args) {
  WCHAR message[kMessageChars];
  platform::FormatW(message, kMessageChars, format, args...);
  WriteDebugLine(message);
}

}  // namespace dlog
