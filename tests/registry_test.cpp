#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/registry_model.h"

namespace {

using sim::RegChange;
using sim::RegValue;

std::vector<uint8_t> Utf16(std::u16string_view s, bool nul = true) {
  std::vector<uint8_t> b(s.size() * 2);
  std::memcpy(b.data(), s.data(), b.size());
  if (nul) b.insert(b.end(), {0, 0});
  return b;
}

std::vector<uint8_t> Dword(DWORD d) {
  std::vector<uint8_t> b(4);
  std::memcpy(b.data(), &d, 4);
  return b;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SetCurrentRegistry(&reg_);
    reg_.AddObserver([this](const RegChange& c) {
      changes_.push_back({c.kind,
                          std::u16string(c.keyPath),
                          std::u16string(c.valueName),
                          c.type,
                          {c.data.begin(), c.data.end()}});
    });
  }
  void TearDown() override { sim::SetCurrentRegistry(nullptr); }

  HKEY Create(HKEY base, const char16_t* sub, DWORD* disposition = nullptr) {
    HKEY h = 0;
    EXPECT_EQ(RegCreateKeyExW(base, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, disposition),
              ERROR_SUCCESS);
    return h;
  }

  sim::Registry reg_;
  // A change as reported, kept: a report's texts live only while it is made.
  struct Change {
    RegChange::Kind kind;
    std::u16string keyPath, valueName;
    DWORD type;
    std::vector<uint8_t> data;
  };
  std::vector<Change> changes_;
};

using RegistryApi = RegistryTest;
using RegistryHelpers = RegistryTest;
using RegistryModel = RegistryTest;

TEST_F(RegistryApi, CreateReportsNewThenExistingAndOpensCaseInsensitively) {
  DWORD disp = 0;
  HKEY a = Create(HKEY_CURRENT_USER, u"Software\\Zeq\\Vurl", &disp);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  HKEY b = Create(HKEY_CURRENT_USER, u"SOFTWARE\\zeq\\vurl", &disp);
  EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
  EXPECT_NE(a, b);
  HKEY self = Create(a, nullptr, &disp);  // a null subkey opens the key itself
  EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegSetValueExW(self, u"x", 0, REG_DWORD, Dword(7).data(), 4), ERROR_SUCCESS);
  EXPECT_EQ(reg_.GetValue(u"HKCU\\Software\\Zeq\\Vurl", u"X")->bytes, Dword(7));
  EXPECT_EQ(reg_.ListSubkeys(u"HKEY_CURRENT_USER\\Software"), std::vector<std::u16string>{u"Zeq"});

  HKEY opened = 0x1234;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Missing", 0, KEY_READ, &opened),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(opened, 0x1234u);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\ZEQ", 0, KEY_READ, &opened),
            ERROR_SUCCESS);
  for (HKEY h : {a, b, self, opened}) EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
  EXPECT_EQ(reg_.OpenHandleCount(), 0u);
}

TEST_F(RegistryApi, CreateEnforcesNameLengthAndDepth) {
  HKEY h = 0;
  auto create = [&](HKEY base, const std::u16string& sub) {
    return RegCreateKeyExW(base, sub.c_str(), 0, nullptr, 0, 0, nullptr, &h, nullptr);
  };
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, std::u16string(256, u'k')), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, std::u16string(255, u'k')), ERROR_SUCCESS);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, u"a\\\\b"), ERROR_INVALID_PARAMETER);

  std::u16string deep = u"1";
  for (int i = 2; i <= 16; ++i) {
    deep += u'\\';
    deep += static_cast<char16_t>(u'a' + i);
  }
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, deep), ERROR_SUCCESS);
  HKEY level16 = h;
  // The limit counts from the root, not from the handle the path is relative to.
  EXPECT_EQ(create(level16, u"x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, deep + u"\\x"), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(reg_.KeyExists(u"HKLM\\x"));
}

TEST_F(RegistryApi, QueryValueFollowsBufferSizeRules) {
  HKEY k = Create(HKEY_CURRENT_USER, u"Q");
  const std::vector<uint8_t> abc = Utf16(u"abc");  // 8 bytes with the NUL
  ASSERT_EQ(RegSetValueExW(k, u"s", 0, REG_SZ, abc.data(), 8), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExW(k, u"s", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 8u);

  BYTE buf[16];
  std::memset(buf, 0xCC, sizeof buf);
  EXPECT_EQ(RegQueryValueExW(k, u"s", nullptr, &type, buf, nullptr), ERROR_INVALID_PARAMETER);
  size = 4;
  EXPECT_EQ(RegQueryValueExW(k, u"s", nullptr, nullptr, buf, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);
  for (BYTE b : buf) EXPECT_EQ(b, 0xCC);  // untouched, not partly filled

  size = 8;
  EXPECT_EQ(RegQueryValueExW(k, u"s", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 8), abc);
  EXPECT_EQ(RegQueryValueExW(k, u"nope", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);

  // Unterminated text: the size stays the stored one, a NUL is added only if room remains.
  ASSERT_EQ(RegSetValueExW(k, u"raw", 0, REG_SZ, abc.data(), 4), ERROR_SUCCESS);
  std::memset(buf, 0xCC, sizeof buf);
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(k, u"raw", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buf[4], 0);
  EXPECT_EQ(buf[5], 0);
  std::memset(buf, 0xCC, sizeof buf);
  size = 5;
  EXPECT_EQ(RegQueryValueExW(k, u"raw", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(buf[4], 0xCC);
}

TEST_F(RegistryApi, SetValueStoresExactlyTheGivenBytes) {
  HKEY k = Create(HKEY_CURRENT_USER, u"S");
  const std::vector<uint8_t> abc = Utf16(u"abc");
  ASSERT_EQ(RegSetValueExW(k, u"odd", 0, REG_SZ, abc.data(), 3), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k, u"empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k, nullptr, 0, REG_DWORD, Dword(1).data(), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k, u"", 0, REG_DWORD, Dword(2).data(), 4), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(k, u"bad", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

  EXPECT_EQ(reg_.GetValue(u"HKCU\\S", u"odd")->bytes,
            std::vector<uint8_t>(abc.begin(), abc.begin() + 3));
  EXPECT_EQ(*reg_.GetValue(u"HKCU\\S", u"empty"), (RegValue{REG_BINARY, {}}));
  EXPECT_EQ(reg_.GetValue(u"HKCU\\S", u"")->bytes, Dword(2));  // null and "" are the default
  EXPECT_EQ(reg_.ListValues(u"HKCU\\S").size(), 3u);
}

TEST_F(RegistryApi, EnumeratesInStorageOrderWithSizeRules) {
  HKEY k = Create(HKEY_LOCAL_MACHINE, u"E");
  for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) RegCloseKey(Create(k, sub));
  for (const char16_t* v : {u"zz", u"aa"})
    RegSetValueExW(k, v, 0, REG_BINARY, Utf16(u"12345").data(), 12);

  WCHAR name[16];
  std::vector<std::u16string> seen;
  for (DWORD i = 0;; ++i) {
    DWORD chars = 16;
    LONG r = RegEnumKeyExW(k, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(r, ERROR_SUCCESS);
    EXPECT_EQ(chars, std::u16string_view(name).size());  // characters, without the NUL
    seen.push_back(name);
  }
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"beta", u"Alpha", u"gamma"}));
  DWORD chars = 5;  // "Alpha" needs 6 with its NUL
  EXPECT_EQ(RegEnumKeyExW(k, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(chars, 5u);

  BYTE data[16];
  DWORD type = 0, size = 4;
  chars = 16;
  EXPECT_EQ(RegEnumValueW(k, 0, name, &chars, nullptr, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  size = 16;
  EXPECT_EQ(RegEnumValueW(k, 1, name, &chars, nullptr, &type, data, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"aa");
  EXPECT_EQ(chars, 2u);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(size, 12u);
  chars = 16;
  EXPECT_EQ(RegEnumValueW(k, 2, name, &chars, nullptr, &type, data, &size), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryApi, DeletesValuesAndWholeTreesButNotOpenOnes) {
  HKEY k = Create(HKEY_CURRENT_USER, u"D\\A\\B");
  RegSetValueExW(k, u"v", 0, REG_DWORD, Dword(1).data(), 4);
  EXPECT_EQ(RegDeleteValueW(k, u"v"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(k, u"v"), ERROR_FILE_NOT_FOUND);

  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"D\\A"), ERROR_ACCESS_DENIED);  // B is open
  EXPECT_TRUE(reg_.KeyExists(u"HKCU\\D\\A\\B"));
  RegCloseKey(k);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"d\\a"), ERROR_SUCCESS);
  EXPECT_FALSE(reg_.KeyExists(u"HKCU\\D\\A"));
  EXPECT_TRUE(reg_.KeyExists(u"HKCU\\D"));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"D\\A"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryApi, StaleAndUnknownHandlesFailWithoutHarm) {
  HKEY k = Create(HKEY_CURRENT_USER, u"Gone\\Sub");
  ASSERT_TRUE(reg_.DeleteKey(u"HKCU\\Gone"));  // the driver may delete open keys
  DWORD size = 0;
  HKEY h = 0;
  EXPECT_EQ(RegQueryValueExW(k, u"v", nullptr, nullptr, nullptr, &size), sim::kErrorKeyDeleted);
  EXPECT_EQ(RegSetValueExW(k, u"v", 0, REG_BINARY, nullptr, 0), sim::kErrorKeyDeleted);
  EXPECT_EQ(RegCreateKeyExW(k, u"x", 0, nullptr, 0, 0, nullptr, &h, nullptr),
            sim::kErrorKeyDeleted);
  EXPECT_EQ(RegFlushKey(k), sim::kErrorKeyDeleted);
  EXPECT_FALSE(reg_.KeyExists(u"HKCU\\Gone"));
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);

  // A handle value is never handed out twice, so a stale one cannot reach a new key.
  HKEY again = Create(HKEY_CURRENT_USER, u"Gone\\Sub");
  EXPECT_NE(again, k);
  EXPECT_EQ(RegFlushKey(again), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExW(0x1234, u"x", 0, 0, &h), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

  sim::SetCurrentRegistry(nullptr);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Gone", 0, 0, &h), ERROR_INVALID_HANDLE);
  DWORD d = 0;
  EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"Gone", u"v", &d), E_FAIL);
}

TEST_F(RegistryHelpers, GettersCheckTypeAndLeaveOutputAloneOnFailure) {
  reg_.SetValue(u"HKCU\\H", u"n", REG_DWORD, Dword(42));
  reg_.SetValue(u"HKCU\\H", u"s", REG_SZ, Utf16(u"hello"));
  reg_.SetValue(u"HKCU\\H", u"raw", REG_SZ, Utf16(u"hey", false));
  reg_.SetValue(u"HKCU\\H", u"x", REG_EXPAND_SZ, Utf16(u"%x%"));
  changes_.clear();

  DWORD d = 7;
  EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"H", u"n", &d), S_OK);
  EXPECT_EQ(d, 42u);
  d = 7;
  EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"H", u"s", &d), E_DATATYPE_MISMATCH);
  EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"H", u"none", &d), E_FILE_NOT_FOUND_HR);
  EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, u"Nope", u"n", &d), E_FILE_NOT_FOUND_HR);
  EXPECT_EQ(RegistryGetDWORD(0x999, u"H", u"n", &d), E_INVALID_HANDLE_HR);
  EXPECT_EQ(d, 7u);

  WCHAR buf[8] = u"keep";
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, u"H", u"s", buf, 5), E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, u"H", u"x", buf, 8), E_DATATYPE_MISMATCH);
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, u"H", u"n", buf, 8), E_DATATYPE_MISMATCH);
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, u"Nope", u"s", buf, 8), E_FILE_NOT_FOUND_HR);
  EXPECT_EQ(std::u16string(buf), u"keep");
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, u"H", u"s", buf, 6), S_OK);
  EXPECT_EQ(std::u16string(buf), u"hello");
  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(RegistryGetString(HKEY_CURRENT_USER, u"H", u"raw", buf, 4), S_OK);
  EXPECT_EQ(std::u16string(buf), u"hey");  // terminated although stored without a NUL

  EXPECT_FALSE(reg_.KeyExists(u"HKCU\\Nope"));
  EXPECT_TRUE(changes_.empty());
  EXPECT_EQ(reg_.OpenHandleCount(), 0u);
}

TEST_F(RegistryHelpers, SettersNeverCreateKeysNorChangeTypes) {
  reg_.SetValue(u"HKLM\\H", u"s", REG_SZ, Utf16(u"old"));
  EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, u"Missing", u"n", 1), E_FILE_NOT_FOUND_HR);
  EXPECT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, u"Missing", u"s", u"x"), E_FILE_NOT_FOUND_HR);
  EXPECT_FALSE(reg_.KeyExists(u"HKLM\\Missing"));

  EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, u"H", u"s", 1), E_DATATYPE_MISMATCH);
  EXPECT_EQ(reg_.GetValue(u"HKLM\\H", u"s")->bytes, Utf16(u"old"));

  EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, u"H", u"n", 5), S_OK);
  EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, u"H", u"n", 6), S_OK);
  EXPECT_EQ(*reg_.GetValue(u"HKLM\\H", u"n"), (RegValue{REG_DWORD, Dword(6)}));
  EXPECT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, u"H", u"s", u"new"), S_OK);
  EXPECT_EQ(*reg_.GetValue(u"HKLM\\H", u"s"), (RegValue{REG_SZ, Utf16(u"new")}));
  EXPECT_EQ(RegistrySetString(HKEY_LOCAL_MACHINE, u"H", u"n", u"x"), E_DATATYPE_MISMATCH);
  EXPECT_EQ(reg_.OpenHandleCount(), 0u);
}

TEST_F(RegistryModel, AcceptsFullAndShortRootsAndRejectsBadPaths) {
  EXPECT_TRUE(reg_.SetValue(u"hkcu\\A\\B", u"v", REG_DWORD, Dword(1)));
  EXPECT_TRUE(reg_.GetValue(u"HKEY_CURRENT_USER\\a\\b", u"V").has_value());
  EXPECT_TRUE(reg_.KeyExists(u"HKEY_CURRENT_USER"));
  EXPECT_FALSE(reg_.KeyExists(u"HKLM\\A"));

  std::string why;
  EXPECT_FALSE(sim::Registry::ParsePath(u"HKEY_CURRENT_CONFIG\\A", &why));
  EXPECT_NE(why.find("unknown root"), std::string::npos);
  EXPECT_FALSE(sim::Registry::ParsePath(u"HKCU\\A\\", &why));
  EXPECT_FALSE(sim::Registry::ParsePath(u"HKCU\\A\nB", &why));
  EXPECT_FALSE(reg_.SetValue(u"HKXX\\A", u"v", REG_DWORD, Dword(1)));
  EXPECT_FALSE(reg_.DeleteKey(u"HKCU"));  // roots stay
  EXPECT_FALSE(reg_.DeleteKey(u"HKCU\\Missing"));
}

TEST_F(RegistryModel, ReportsEveryChangeOnceAfterItIsMade) {
  // The observer sees the registry as it is after the change.
  std::vector<bool> visible;
  int id = reg_.AddObserver([&](const RegChange& c) {
    visible.push_back(c.kind == RegChange::Kind::DeleteKey || c.kind == RegChange::Kind::DeleteValue
                          ? !reg_.KeyExists(c.keyPath) || !reg_.GetValue(c.keyPath, c.valueName)
                          : reg_.KeyExists(c.keyPath));
  });
  HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Zeq");
  RegSetValueExW(k, u"Mode", 0, REG_DWORD, Dword(3).data(), 4);
  RegDeleteValueW(k, u"Mode");
  RegCloseKey(k);
  RegDeleteKeyW(HKEY_CURRENT_USER, u"Software");
  reg_.RemoveObserver(id);
  reg_.SetValue(u"HKLM\\X", u"", REG_BINARY, {1});

  using K = RegChange::Kind;
  std::vector<std::pair<K, std::u16string>> got;
  for (const Change& c : changes_) got.emplace_back(c.kind, c.keyPath + u"|" + c.valueName);
  EXPECT_EQ(got, (std::vector<std::pair<K, std::u16string>>{
                     {K::CreateKey, u"HKEY_CURRENT_USER\\Software|"},
                     {K::CreateKey, u"HKEY_CURRENT_USER\\Software\\Zeq|"},
                     {K::SetValue, u"HKEY_CURRENT_USER\\Software\\Zeq|Mode"},
                     {K::DeleteValue, u"HKEY_CURRENT_USER\\Software\\Zeq|Mode"},
                     {K::DeleteKey, u"HKEY_CURRENT_USER\\Software|"},
                     {K::CreateKey, u"HKEY_LOCAL_MACHINE\\X|"},
                     {K::SetValue, u"HKEY_LOCAL_MACHINE\\X|"},
                 }));
  EXPECT_EQ(changes_[2].type, REG_DWORD);
  EXPECT_EQ(changes_[2].data, Dword(3));
  EXPECT_EQ(visible, std::vector<bool>(5, true));

  // An observer may delete the key it hears of: those after it still read the change whole.
  reg_.SetValue(u"HKLM\\Y", u"Mode", REG_DWORD, Dword(7));
  reg_.AddObserver([&](const RegChange& c) {
    if (c.kind == K::DeleteValue) reg_.DeleteKey(u"HKLM\\Y");
  });
  std::u16string heard;
  reg_.AddObserver([&](const RegChange& c) {
    if (c.kind == K::DeleteValue) (heard = c.keyPath) += u"|" + std::u16string(c.valueName);
  });
  EXPECT_TRUE(reg_.DeleteValue(u"HKLM\\Y", u"Mode"));
  EXPECT_EQ(heard, u"HKEY_LOCAL_MACHINE\\Y|Mode");
  EXPECT_FALSE(reg_.KeyExists(u"HKLM\\Y"));
}

// Writers reach recently used keys without walking the tree again; a key deleted in between,
// or deleted and made anew, must never be reached through what was remembered of it.
TEST_F(RegistryModel, RecentPathsNeverReachADeletedOrRecreatedKey) {
  ASSERT_TRUE(reg_.SetValue(u"HKCU\\C\\K", u"old", REG_DWORD, Dword(1)));
  HKEY h = 0;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"C\\K", 0, 0, &h), ERROR_SUCCESS);
  RegCloseKey(h);

  ASSERT_TRUE(reg_.DeleteKey(u"HKCU\\C"));
  EXPECT_FALSE(reg_.GetValue(u"HKCU\\C\\K", u"old"));
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"C\\K", 0, 0, &h), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(FAILED(RegistrySetDWORD(HKEY_CURRENT_USER, u"C\\K", u"v", 2)));  // never creates

  DWORD disposition = 0;
  h = Create(HKEY_CURRENT_USER, u"c\\k", &disposition);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  RegCloseKey(h);
  ASSERT_TRUE(reg_.SetValue(u"HKCU\\C\\K", u"new", REG_DWORD, Dword(3)));
  EXPECT_FALSE(reg_.GetValue(u"hkcu\\c\\k", u"old"));
  EXPECT_EQ(*reg_.GetValue(u"HKEY_CURRENT_USER\\C\\K", u"new"), (RegValue{REG_DWORD, Dword(3)}));
}

}  // namespace
