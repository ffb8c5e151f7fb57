#include "pim/handoff.h"

#include <cmath>

#include "platform/formatw.h"
#include "platform/kernel.h"
#include "settings/settings.h"

namespace pim {

std::u16string ListKey(const WCHAR* list) {
  return platform::FormatW(u"%s\\%s", settings::kStoreKey, list);
}

HKEY CreateItemKey(const std::u16string& listKey, int n) {
  std::u16string path = platform::FormatW(u"%s\\%d", listKey, n);
  HKEY key = 0;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      &disposition) != ERROR_SUCCESS)
    return 0;
  return key;
}

void WriteText(HKEY key, const WCHAR* name, const WCHAR* text) {
  size_t chars = 0;
  while (text[chars]) ++chars;
  auto bytes = static_cast<DWORD>((chars + 1) * sizeof(WCHAR));
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

void WriteDate(HKEY key, const WCHAR* name, DATE date) {
  SYSTEMTIME st{};
  FILETIME ft{};
  if (!VariantTimeToSystemTime(date, &st) || !SystemTimeToFileTime(&st, &ft)) return;
  RegSetValueExW(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&ft), sizeof ft);
}

void WriteDword(HKEY key, const WCHAR* name, DWORD value) {
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void WriteByte(HKEY key, const WCHAR* name, uint8_t value) {
  RegSetValueExW(key, name, 0, REG_BINARY, &value, 1);
}

DATE LocalNow() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  st.wMilliseconds = 0;
  DATE d = 0;
  SystemTimeToVariantTime(&st, &d);
  return d;
}

DATE Midnight(DATE date) {
  return std::floor(date);
}

int64_t Seconds(DATE date) {
  return std::llround(date * 86400.0);
}

std::u16string RestrictionDate(DATE date) {
  SYSTEMTIME st{};
  if (!VariantTimeToSystemTime(date, &st)) return {};
  return platform::FormatW(u"\"%02d/%02d/%04d %02d:%02d\"", st.wMonth, st.wDay, st.wYear, st.wHour,
                           st.wMinute);
}

}  // namespace pim
