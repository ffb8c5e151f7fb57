#include "log/debug_log.h"

#include <algorithm>
#include <iterator>

#include "core/files.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/process_local.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "settings/settings.h"
#include "settings/store_io.h"

namespace dlog {

namespace {
struct LogState {
  HANDLE file = INVALID_HANDLE_VALUE;
};
LogState& L() {
  return platform::ProcessGlobal<LogState>();
}

// The log decides about rotation before the settings are loaded; it reads DebugOn exactly as the
// settings loader will, so that rotation and the detailed lines never disagree (a value the
// loader cannot read as its one-byte flag counts as off for both).
bool StoredDebugOn() {
  HKEY key = 0;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, settings::kStoreKey, 0, 0, &key) != ERROR_SUCCESS)
    return false;
  uint8_t value = 0;
  bool on = settings::store::ReadByte(key, u"DebugOn", &value) && value != 0;
  RegCloseKey(key);
  return on;
}

std::u16string Generation(const std::u16string& path, int n) {
  return platform::FormatW(u"%s.%d", path, n);
}

// Copies, not renames: the oldest generation is simply overwritten.
void ShiftGenerations(const std::u16string& path) {
  for (int n = 8; n >= 1; --n) {
    std::u16string from = Generation(path, n);
    if (core::FileExists(from)) CopyFileW(from.c_str(), Generation(path, n + 1).c_str(), FALSE);
  }
  if (core::FileExists(path)) CopyFileW(path.c_str(), Generation(path, 1).c_str(), FALSE);
}

void Write(const WCHAR* text, size_t chars) {
  DWORD written = 0;
  WriteFile(L().file, text, static_cast<DWORD>(chars * sizeof(WCHAR)), &written, nullptr);
}
}  // namespace

void OpenDebugLog(std::u16string_view fileName) {
  WCHAR module[MAX_PATH] = {};
  GetModuleFileNameW(0, module, MAX_PATH);
  std::u16string path(platform::WView(module));
  size_t slash = path.rfind(u'\\');
  path = slash == std::u16string::npos ? std::u16string(fileName)
                                       : path.substr(0, slash + 1) + std::u16string(fileName);
  if (StoredDebugOn()) ShiftGenerations(path);
  L().file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
  if (L().file == INVALID_HANDLE_VALUE) return;
  const WCHAR bom = 0xFEFF;
  Write(&bom, 1);
}

void WriteDebugLine(std::u16string_view text) {
  if (L().file == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME st;
  GetLocalTime(&st);
  WCHAR line[kLineChars];
  // "HH:MM:SS \t" TEXT "\r\n", cut at the line's length: every line of the log comes through
  // here, so the clock's two-digit fields are put by hand rather than by the formatter.
  size_t n = 0;
  auto put = [&](std::u16string_view s) {
    size_t k = std::min(s.size(), kLineChars - 1 - n);
    std::copy_n(s.data(), k, line + n);
    n += k;
  };
  WCHAR stamp[] = u"00:00:00 \t";
  auto digits = [](WORD v, WCHAR* at) {
    at[0] = static_cast<WCHAR>(u'0' + v / 10);
    at[1] = static_cast<WCHAR>(u'0' + v % 10);
  };
  digits(st.wHour, stamp);
  digits(st.wMinute, stamp + 3);
  digits(st.wSecond, stamp + 6);
  put(std::u16string_view(stamp, std::size(stamp) - 1));
  put(text);
  put(u"\r\n");
  Write(line, n);
}

void CloseDebugLog() {
  if (L().file == INVALID_HANDLE_VALUE) return;
  WriteDebugLine(u"quit");
  FlushFileBuffers(L().file);
  CloseHandle(L().file);
  L().file = INVALID_HANDLE_VALUE;
}

bool Detailed() {
  return settings::S().DebugOn != 0;
}

bool FileExistsLogged(const std::u16string& path) {
  bool exists = core::FileExists(path);
  if (Detailed()) DebugLog(u"%s (%d)", path, exists ? 1 : 0);
  return exists;
}

}  // namespace dlog
