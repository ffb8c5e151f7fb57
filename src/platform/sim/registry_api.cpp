// The Win32 registry calls and the shell's regext.h helpers over the current sim::Registry.
#include <algorithm>
#include <cstring>

#include "platform/registry.h"
#include "platform/sim/faults.h"
#include "platform/sim/registry_model.h"
#include "platform/wstr.h"

using platform::WView;
using sim::CurrentRegistry;
using sim::RegValue;

namespace {

std::vector<uint8_t> Bytes(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}

// Copies a value out with RegQueryValueEx's size rules; shared with RegEnumValue.
LONG CopyData(const RegValue& v, DWORD* type, BYTE* data, DWORD* dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  if (type) *type = v.type;
  DWORD needed = static_cast<DWORD>(v.bytes.size());
  if (!data) {
    if (dataSize) *dataSize = needed;
    return ERROR_SUCCESS;
  }
  if (*dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;  // the buffer is left as it was, as NT and Wine do
  }
  if (needed) std::memcpy(data, v.bytes.data(), needed);
  // A string stored without its NUL gets one when it fits, uncounted: desktop behaviour,
  // unconfirmed on CE, so callers must still not count on it.
  bool text = v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ;
  if (text && needed >= 2 && (v.bytes[needed - 1] || v.bytes[needed - 2]) &&
      *dataSize - needed >= 2) {
    data[needed] = 0;
    data[needed + 1] = 0;
  }
  *dataSize = needed;
  return ERROR_SUCCESS;
}

// Copies a name if it fits with its NUL; the size is in characters without the NUL.
LONG CopyName(std::u16string_view name, LPWSTR out, DWORD* chars) {
  if (*chars < name.size() + 1) return ERROR_MORE_DATA;
  platform::WCopy(out, *chars, name);
  *chars = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// regext.h helpers open the key read-only and never create it.
HRESULT OpenForHelper(HKEY root, LPCWSTR subKey, HKEY* key) {
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return E_FAIL;
  LONG r = reg->OpenKey(root, WView(subKey), key);
  if (r == ERROR_FILE_NOT_FOUND) return E_FILE_NOT_FOUND_HR;
  if (r == ERROR_INVALID_HANDLE || r == sim::kErrorKeyDeleted) return E_INVALID_HANDLE_HR;
  return HRESULT_FROM_WIN32(static_cast<DWORD>(r));
}

HRESULT QueryForHelper(HKEY root, LPCWSTR subKey, LPCWSTR valueName, RegValue* value) {
  HKEY key = 0;
  HRESULT hr = OpenForHelper(root, subKey, &key);
  if (FAILED(hr)) return hr;
  LONG r = CurrentRegistry()->QueryValue(key, WView(valueName), value);
  CurrentRegistry()->CloseKey(key);
  return HRESULT_FROM_WIN32(static_cast<DWORD>(r));
}

HRESULT SetForHelper(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD type,
                     std::vector<uint8_t> bytes) {
  HKEY key = 0;
  HRESULT hr = OpenForHelper(root, subKey, &key);
  if (FAILED(hr)) return hr;
  sim::Registry* reg = CurrentRegistry();
  RegValue old;
  LONG r = reg->QueryValue(key, WView(valueName), &old);
  if (r == ERROR_SUCCESS && old.type != type) {
    hr = E_DATATYPE_MISMATCH;
  } else {
    r = reg->SetValue(key, WView(valueName), type, std::move(bytes));
    hr = HRESULT_FROM_WIN32(static_cast<DWORD>(r));
  }
  reg->CloseKey(key);
  return hr;
}

}  // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, DWORD, LPVOID, HKEY* result,
                     DWORD* disposition) {
  if (auto struck = sim::Strike("RegCreateKeyExW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  if (!result) return ERROR_INVALID_PARAMETER;
  return reg->CreateKey(key, WView(subKey), result, disposition);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, DWORD, HKEY* result) {
  if (auto struck = sim::Strike("RegOpenKeyExW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  if (!result) return ERROR_INVALID_PARAMETER;
  return reg->OpenKey(key, WView(subKey), result);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  if (auto struck = sim::Strike("RegQueryValueExW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  LONG r = reg->CheckKey(key);
  if (r != ERROR_SUCCESS) return r;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  const RegValue* v = reg->PeekValue(key, WView(valueName), &r);
  if (!v) return r;
  return CopyData(*v, type, data, dataSize);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
  if (auto struck = sim::Strike("RegSetValueExW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  return reg->SetValue(key, WView(valueName), type,
                       data ? Bytes(data, dataSize) : std::vector<uint8_t>{});
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  if (auto struck = sim::Strike("RegDeleteValueW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  return reg->DeleteValue(key, WView(valueName));
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (auto struck = sim::Strike("RegDeleteKeyW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  return reg->DeleteKey(key, WView(subKey));
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD*, LPWSTR keyClass,
                   DWORD* classChars, FILETIME* lastWrite) {
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  LONG r = reg->CheckKey(key);
  if (r != ERROR_SUCCESS) return r;
  if (!name || !nameChars) return ERROR_INVALID_PARAMETER;
  std::u16string found;
  r = reg->EnumKey(key, index, &found);
  if (r != ERROR_SUCCESS) return r;
  r = CopyName(found, name, nameChars);
  if (r != ERROR_SUCCESS) return r;
  // Keys carry no class and no write time here.
  if (keyClass && classChars && *classChars) keyClass[0] = 0;
  if (classChars) *classChars = 0;
  if (lastWrite) *lastWrite = FILETIME{0, 0};
  return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameChars, DWORD*, DWORD* type,
                   BYTE* data, DWORD* dataSize) {
  if (auto struck = sim::Strike("RegEnumValueW")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  if (!reg) return ERROR_INVALID_HANDLE;
  LONG r = reg->CheckKey(key);
  if (r != ERROR_SUCCESS) return r;
  if (!name || !nameChars || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  std::u16string found;
  RegValue v;
  r = reg->EnumValue(key, index, &found, &v);
  if (r != ERROR_SUCCESS) return r;
  if (*nameChars < found.size() + 1) return ERROR_MORE_DATA;
  if (data && *dataSize < v.bytes.size()) return CopyData(v, type, data, dataSize);
  CopyName(found, name, nameChars);
  return CopyData(v, type, data, dataSize);
}

LONG RegFlushKey(HKEY key) {
  if (auto struck = sim::Strike("RegFlushKey")) return static_cast<LONG>(*struck);
  sim::Registry* reg = CurrentRegistry();
  return reg ? reg->CheckKey(key) : ERROR_INVALID_HANDLE;
}

LONG RegCloseKey(HKEY key) {
  sim::Registry* reg = CurrentRegistry();
  return reg ? reg->CloseKey(key) : ERROR_INVALID_HANDLE;
}

HRESULT RegistryGetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* data) {
  if (auto struck = sim::Strike("RegistryGetDWORD")) return static_cast<HRESULT>(*struck);
  if (!data) return E_INVALIDARG;
  RegValue v;
  HRESULT hr = QueryForHelper(root, subKey, valueName, &v);
  if (FAILED(hr)) return hr;
  // A REG_DWORD of another length is not a DWORD the helper can hand back (unconfirmed).
  if (v.type != REG_DWORD || v.bytes.size() != sizeof(DWORD)) return E_DATATYPE_MISMATCH;
  std::memcpy(data, v.bytes.data(), sizeof(DWORD));
  return S_OK;
}

HRESULT RegistrySetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD data) {
  if (auto struck = sim::Strike("RegistrySetDWORD")) return static_cast<HRESULT>(*struck);
  return SetForHelper(root, subKey, valueName, REG_DWORD, Bytes(&data, sizeof data));
}

HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT chars) {
  if (auto struck = sim::Strike("RegistryGetString")) return static_cast<HRESULT>(*struck);
  if (!data || !chars) return E_INVALIDARG;
  RegValue v;
  HRESULT hr = QueryForHelper(root, subKey, valueName, &v);
  if (FAILED(hr)) return hr;
  if (v.type != REG_SZ) return E_DATATYPE_MISMATCH;
  // The stored text ends at its first NUL or its last whole character, NUL or not.
  std::u16string text(v.bytes.size() / 2, u'\0');
  std::memcpy(text.data(), v.bytes.data(), text.size() * 2);
  text.resize(std::min(text.size(), text.find(u'\0')));
  if (chars < text.size() + 1) return E_INSUFFICIENT_BUFFER;
  platform::WCopy(data, chars, text);
  return S_OK;
}

HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data) {
  if (auto struck = sim::Strike("RegistrySetString")) return static_cast<HRESULT>(*struck);
  if (!data) return E_INVALIDARG;
  return SetForHelper(root, subKey, valueName, REG_SZ,
                      Bytes(data, (platform::WLen(data) + 1) * sizeof(WCHAR)));
}
