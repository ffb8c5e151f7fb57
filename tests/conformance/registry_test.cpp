// The registry: dispositions, buffer sizes, errors, enumeration and deletion.
#include "platform/registry.h"

#include <cstring>
#include <string>
#include <vector>

#include "conformance.h"

namespace {

const WCHAR* const kRoot = u"Software\\DvConformance";

// Deletes `sub` and everything below it, leaves first, as the desktop requires.
void DeleteTree(HKEY parent, const std::u16string& sub) {
  HKEY k = 0;
  if (RegOpenKeyExW(parent, sub.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
  for (;;) {
    WCHAR name[256];
    DWORD chars = 256;
    if (RegEnumKeyExW(k, 0, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    DeleteTree(k, name);
  }
  RegCloseKey(k);
  RegDeleteKeyW(parent, sub.c_str());
}

// A fresh key under the suite's root, named for the case.
HKEY FreshKey(const std::u16string& name) {
  std::u16string path = std::u16string(kRoot) + u"\\" + name;
  DeleteTree(HKEY_CURRENT_USER, path);
  HKEY k = 0;
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                  nullptr);
  return k;
}

void Done(HKEY k, const std::u16string& name) {
  RegCloseKey(k);
  DeleteTree(HKEY_CURRENT_USER, std::u16string(kRoot) + u"\\" + name);
}

std::vector<std::u16string> SubKeys(HKEY k) {
  std::vector<std::u16string> out;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64];
    DWORD chars = 64;
    if (RegEnumKeyExW(k, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    out.emplace_back(name, chars);
  }
  return out;
}

}  // namespace

CONFORMANCE_TEST(Registry, CreateKeyReportsNewOrExisting) {
  HKEY k = FreshKey(u"Create");
  ASSERT_NE(k, 0u);
  HKEY sub = 0;
  DWORD disposition = 0;
  ASSERT_EQ(
      RegCreateKeyExW(k, u"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(sub);
  ASSERT_EQ(
      RegCreateKeyExW(k, u"child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY) << "key names compare without case";
  RegCloseKey(sub);
  EXPECT_EQ(RegOpenKeyExW(k, u"Missing", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND);
  Done(k, u"Create");
}

// The device has no access rights: its programs ask for none, and read and write all the same.
CONFORMANCE_TEST(Registry, KeysAskedForNoRightsReadAndWrite) {
  HKEY k = FreshKey(u"NoRights");
  ASSERT_NE(k, 0u);
  HKEY opened = 0, created = 0;
  std::u16string path = std::u16string(kRoot) + u"\\NoRights";
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, 0, &opened), ERROR_SUCCESS);
  ASSERT_EQ(RegCreateKeyExW(k, u"Child", 0, nullptr, 0, 0, nullptr, &created, nullptr),
            ERROR_SUCCESS);
  const DWORD written = 7;
  for (HKEY h : {opened, created}) {
    EXPECT_EQ(RegSetValueExW(h, u"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&written), 4),
              ERROR_SUCCESS);
    DWORD read = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(h, u"V", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(read, written);
    RegCloseKey(h);
  }
  Done(k, u"NoRights");
}

CONFORMANCE_TEST(Registry, QuerySizesAndShortBuffers) {
  HKEY k = FreshKey(u"Sizes");
  const WCHAR text[] = u"abc";
  ASSERT_EQ(RegSetValueExW(k, u"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
            ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(k, u"Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 8u) << "bytes, the NUL included";
  BYTE small[4];
  std::memset(small, 0xCC, sizeof small);
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(k, u"Text", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(small[0], 0xCC) << "a short buffer is left as it was";
  WCHAR big[8];
  size = sizeof big;
  EXPECT_EQ(RegQueryValueExW(k, u"Text", nullptr, &type, reinterpret_cast<BYTE*>(big), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(std::u16string(big), u"abc");
  EXPECT_EQ(RegQueryValueExW(k, u"Text", nullptr, &type, reinterpret_cast<BYTE*>(big), nullptr),
            ERROR_INVALID_PARAMETER);

  DWORD v = 0x12345678, got = 0;
  RegSetValueExW(k, u"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  size = sizeof got;
  EXPECT_EQ(RegQueryValueExW(k, u"Number", nullptr, &type, reinterpret_cast<BYTE*>(&got), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(got, v);
  EXPECT_EQ(RegQueryValueExW(k, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  Done(k, u"Sizes");
}

CONFORMANCE_TEST(Registry, DeletingValuesAndLeafKeys) {
  HKEY k = FreshKey(u"Delete");
  DWORD v = 1;
  RegSetValueExW(k, u"Gone", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  EXPECT_EQ(RegDeleteValueW(k, u"Gone"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(k, u"Gone"), ERROR_FILE_NOT_FOUND);
  HKEY leaf = 0;
  RegCreateKeyExW(k, u"Leaf", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &leaf, nullptr);
  RegCloseKey(leaf);
  EXPECT_EQ(RegDeleteKeyW(k, u"Leaf"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(k, u"Leaf", 0, KEY_READ, &leaf), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(k, u"Leaf"), ERROR_FILE_NOT_FOUND);
  Done(k, u"Delete");
}

CONFORMANCE_TEST(Registry, EnumerationEndsWithNoMoreItemsAndNeedsRoomForTheNul) {
  HKEY k = FreshKey(u"Enum");
  for (const WCHAR* name : {u"Beta", u"Alpha", u"Gamma"}) {
    HKEY s = 0;
    RegCreateKeyExW(k, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s, nullptr);
    RegCloseKey(s);
  }
  DWORD v = 5;
  RegSetValueExW(k, u"Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  auto keys = SubKeys(k);
  EXPECT_EQ(keys.size(), 3u);
  WCHAR name[8];
  DWORD chars = 8;
  EXPECT_EQ(RegEnumKeyExW(k, 3, name, &chars, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  chars = 4;  // "Beta" and its NUL need 5
  EXPECT_EQ(RegEnumKeyExW(k, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  chars = 5;
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegEnumValueW(k, 0, name, &chars, nullptr, &type, nullptr, &size), ERROR_MORE_DATA);
  chars = 6;
  EXPECT_EQ(RegEnumValueW(k, 0, name, &chars, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(chars, 5u);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  chars = 8;
  EXPECT_EQ(RegEnumValueW(k, 1, name, &chars, nullptr, &type, nullptr, &size), ERROR_NO_MORE_ITEMS);
  Done(k, u"Enum");
}

DEVICE_RULE_TEST(Registry, DeletingAKeyDeletesItsTree,
                 "CE RegDeleteKey deletes the whole subtree (docs/platform.md R4)") {
  HKEY k = FreshKey(u"Tree");
  HKEY s = 0;
  RegCreateKeyExW(k, u"Branch\\Leaf", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s, nullptr);
  RegCloseKey(s);
  EXPECT_EQ(RegDeleteKeyW(k, u"Branch"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(k, u"Branch\\Leaf", 0, KEY_READ, &s), ERROR_FILE_NOT_FOUND);
  Done(k, u"Tree");
}

CONFORMANCE_TEST(Registry, ShellHelpersReadTypedValuesAndNeverCreateKeys) {
  HKEY k = FreshKey(u"Helpers");
  std::u16string path = std::u16string(kRoot) + u"\\Helpers";
  EXPECT_EQ(RegistrySetDWORD(HKEY_CURRENT_USER, path.c_str(), u"N", 9), S_OK);
  DWORD n = 0;
  EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, path.c_str(), u"N", &n), S_OK);
  EXPECT_EQ(n, 9u);
  WCHAR text[4];
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, path.c_str(), u"N", text, 4), E_DATATYPE_MISMATCH);
  EXPECT_EQ(RegistrySetString(HKEY_CURRENT_USER, path.c_str(), u"S", u"long"), S_OK);
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, path.c_str(), u"S", text, 4),
            E_INSUFFICIENT_BUFFER);
  std::u16string missing = path + u"\\Missing";
  EXPECT_EQ(RegistrySetDWORD(HKEY_CURRENT_USER, missing.c_str(), u"N", 1), E_FILE_NOT_FOUND_HR);
  HKEY s = 0;
  EXPECT_EQ(RegOpenKeyExW(k, u"Missing", 0, KEY_READ, &s), ERROR_FILE_NOT_FOUND);
  Done(k, u"Helpers");
}

CONFORMANCE_TEST(Registry, SubkeyEnumerationOrder) {
  HKEY k = FreshKey(u"Order");
  for (const WCHAR* name : {u"Beta", u"Alpha", u"Gamma"}) {
    HKEY s = 0;
    RegCreateKeyExW(k, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s, nullptr);
    RegCloseKey(s);
  }
  if (conformance::OnSimulatedDevice()) {
    // The device enumerates in storage order (docs/platform.md R7).
    EXPECT_EQ(SubKeys(k), (std::vector<std::u16string>{u"Beta", u"Alpha", u"Gamma"}));
  } else {
    EXPECT_EQ(SubKeys(k), (std::vector<std::u16string>{u"Alpha", u"Beta", u"Gamma"}));
  }
  Done(k, u"Order");
}
