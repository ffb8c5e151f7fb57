// The device shell's registry helpers (regext.h), which desktop Windows lacks: the same rules
// as on the device, over the real registry. Their change notifications are a device-only
// service (stubs/state_notify.cpp).
#include <vector>

#include "platform/registry.h"
#include "platform/wstr.h"

namespace {

HRESULT OpenExisting(HKEY root, LPCWSTR subKey, DWORD access, HKEY* key) {
  LONG r = RegOpenKeyExW(root, subKey, 0, access, key);
  if (r == static_cast<LONG>(ERROR_INVALID_HANDLE)) return E_INVALID_HANDLE_HR;
  return HRESULT_FROM_WIN32(static_cast<DWORD>(r));
}

// The value's type and bytes; the HRESULT of the first call that failed.
HRESULT Query(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD* type, std::vector<BYTE>* bytes) {
  HKEY key = 0;
  HRESULT hr = OpenExisting(root, subKey, KEY_READ, &key);
  if (FAILED(hr)) return hr;
  DWORD size = 0;
  LONG r = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
  if (r == ERROR_SUCCESS) {
    bytes->assign(size, 0);
    r = RegQueryValueExW(key, name, nullptr, type, bytes->data(), &size);
    bytes->resize(size);
  }
  RegCloseKey(key);
  return HRESULT_FROM_WIN32(static_cast<DWORD>(r));
}

HRESULT Set(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD type, const BYTE* data, DWORD size) {
  HKEY key = 0;
  HRESULT hr = OpenExisting(root, subKey, KEY_ALL_ACCESS, &key);
  if (FAILED(hr)) return hr;
  DWORD oldType = 0;
  if (RegQueryValueExW(key, name, nullptr, &oldType, nullptr, nullptr) == ERROR_SUCCESS &&
      oldType != type) {
    hr = E_DATATYPE_MISMATCH;
  } else {
    hr = HRESULT_FROM_WIN32(static_cast<DWORD>(RegSetValueExW(key, name, 0, type, data, size)));
  }
  RegCloseKey(key);
  return hr;
}

}  // namespace

HRESULT RegistryGetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* data) {
  if (!data) return E_INVALIDARG;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  HRESULT hr = Query(root, subKey, valueName, &type, &bytes);
  if (FAILED(hr)) return hr;
  if (type != REG_DWORD || bytes.size() != sizeof(DWORD)) return E_DATATYPE_MISMATCH;
  *data = static_cast<DWORD>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
  return S_OK;
}

HRESULT RegistrySetDWORD(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD data) {
  return Set(root, subKey, valueName, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

HRESULT RegistryGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT chars) {
  if (!data || !chars) return E_INVALIDARG;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  HRESULT hr = Query(root, subKey, valueName, &type, &bytes);
  if (FAILED(hr)) return hr;
  if (type != REG_SZ) return E_DATATYPE_MISMATCH;
  std::u16string text(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<WCHAR>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  text.resize(std::min(text.size(), text.find(u'\0')));
  if (chars < text.size() + 1) return E_INSUFFICIENT_BUFFER;
  platform::WCopy(data, chars, text);
  return S_OK;
}

HRESULT RegistrySetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR data) {
  if (!data) return E_INVALIDARG;
  return Set(root, subKey, valueName, REG_SZ, reinterpret_cast<const BYTE*>(data),
             static_cast<DWORD>((platform::WLen(data) + 1) * sizeof(WCHAR)));
}
