#include "settings/store_io.h"

#include <vector>

#include "platform/registry.h"

namespace settings::store {

namespace {
bool ReadRaw(HKEY key, const WCHAR* name, BYTE* data, DWORD capacity, DWORD* size) {
  *size = capacity;
  return RegQueryValueExW(key, name, nullptr, nullptr, data, size) == ERROR_SUCCESS;
}

uint32_t LittleEndian(const BYTE* data, DWORD size) {
  uint32_t v = 0;
  for (DWORD i = size; i-- > 0;) v = v << 8 | data[i];
  return v;
}
}  // namespace

bool Fits(HKEY key, const WCHAR* name, DWORD bytes) {
  // Never a null buffer: that asks for the size. Settings are small; the stack holds most.
  BYTE small[256];
  std::vector<BYTE> large;
  BYTE* scratch = small;
  if (bytes > sizeof small) {
    large.resize(bytes);
    scratch = large.data();
  }
  DWORD size = 0;
  return ReadRaw(key, name, scratch, bytes, &size);
}

bool ReadByte(HKEY key, const WCHAR* name, uint8_t* value) {
  BYTE data[1] = {};
  DWORD size = 0;
  if (!ReadRaw(key, name, data, sizeof data, &size)) return false;
  *value = static_cast<uint8_t>(LittleEndian(data, size));
  return true;
}

bool ReadDword(HKEY key, const WCHAR* name, uint32_t* value) {
  BYTE data[4] = {};
  DWORD size = 0;
  if (!ReadRaw(key, name, data, sizeof data, &size)) return false;
  *value = LittleEndian(data, size);
  return true;
}

bool ReadText(HKEY key, const WCHAR* name, size_t chars, std::u16string* text) {
  std::vector<BYTE> data(chars * sizeof(WCHAR));
  DWORD size = 0;
  if (!ReadRaw(key, name, data.data(), static_cast<DWORD>(data.size()), &size)) return false;
  text->clear();
  for (DWORD i = 0; i + 1 < size; i += 2) {
    WCHAR c = static_cast<WCHAR>(data[i] | data[i + 1] << 8);
    if (!c) break;
    text->push_back(c);
  }
  return true;
}

void WriteByte(HKEY key, const WCHAR* name, uint8_t value) {
  RegSetValueExW(key, name, 0, REG_BINARY, &value, 1);
}

void WriteDword(HKEY key, const WCHAR* name, uint32_t value) {
  BYTE data[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                  static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  RegSetValueExW(key, name, 0, REG_DWORD, data, sizeof data);
}

void WriteText(HKEY key, const WCHAR* name, std::u16string_view text) {
  std::vector<BYTE> data;
  data.reserve(text.size() * 2);
  for (WCHAR c : text) {
    data.push_back(static_cast<BYTE>(c));
    data.push_back(static_cast<BYTE>(c >> 8));
  }
  RegSetValueExW(key, name, 0, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
}

}  // namespace settings::store
