#include "platform/sim/regfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/wstr.h"

namespace {

using sim::RegValue;

std::vector<uint8_t> Utf16(std::u16string_view s, bool nul = true) {
  std::vector<uint8_t> b(s.size() * 2);
  std::memcpy(b.data(), s.data(), b.size());
  if (nul) b.insert(b.end(), {0, 0});
  return b;
}

// The exported bytes as UTF-8 text, for readable comparisons.
std::string Text(const std::string& exported) {
  EXPECT_EQ(exported.substr(0, 2), "\xFF\xFE");
  std::u16string u((exported.size() - 2) / 2, u'\0');
  std::memcpy(u.data(), exported.data() + 2, u.size() * 2);
  return platform::U8(u);
}

// A registry with every kind of value the exporter has to get right.
void FillAwkwardValues(sim::Registry& reg) {
  const std::u16string k = u"HKEY_CURRENT_USER\\Software\\Zeq";
  reg.SetValue(k, u"", REG_SZ, Utf16(u"default"));
  reg.SetValue(k, u"Plain", REG_SZ, Utf16(u"a \"quoted\" C:\\path\r\nnext"));
  reg.SetValue(k, u"NoNul", REG_SZ, Utf16(u"abc", false));
  reg.SetValue(k, u"Odd", REG_SZ, {0x41, 0x00, 0x42});
  reg.SetValue(k, u"Tab", REG_SZ, Utf16(u"a\tb"));
  reg.SetValue(k, u"Inner\"Nul\\", REG_SZ, Utf16(std::u16string(u"a\0b", 3)));
  reg.SetValue(k, u"Unicode \u00e9\u4e2d", REG_SZ, Utf16(u"\u00e9t\u00e9 \U0001F600"));
  reg.SetValue(k, u"Lone", REG_SZ, Utf16(u"\xD800x"));
  reg.SetValue(k, u"Dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12});
  reg.SetValue(k, u"ShortDword", REG_DWORD, {1, 2});
  reg.SetValue(k, u"Empty", REG_BINARY, {});
  reg.SetValue(k, u"Multi", REG_MULTI_SZ, Utf16(std::u16string(u"a\0bc\0", 5)));
  reg.SetValue(k, u"Expand", REG_EXPAND_SZ, Utf16(u"%WINDIR%"));
  reg.SetValue(k, u"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
  reg.SetValue(k, u"Odd type", 0x12345, {9});
  std::vector<uint8_t> longBinary(300);
  for (size_t i = 0; i < longBinary.size(); ++i) longBinary[i] = static_cast<uint8_t>(i * 7);
  reg.SetValue(k + u"\\Sub", u"Long", REG_BINARY, longBinary);
  reg.CreateKey(u"HKLM\\Empty\\Deeper");
  reg.SetValue(u"HKCR", u"RootValue", REG_DWORD, {0, 0, 0, 0});
}

TEST(RegFileRoundTrip, EveryValueTypeSurvivesByteForByte) {
  sim::Registry first;
  FillAwkwardValues(first);
  std::string exported = sim::ExportRegText(first);

  sim::Registry second;
  sim::RegParseResult r = sim::ParseRegText(exported, second);
  ASSERT_TRUE(r.ok) << r.line << ": " << r.message;
  EXPECT_EQ(sim::ExportRegText(second), exported);
  for (const char16_t* key : {u"HKCU\\Software\\Zeq", u"HKCU\\Software\\Zeq\\Sub", u"HKCR"})
    EXPECT_EQ(second.ListValues(key), first.ListValues(key));
  EXPECT_TRUE(second.KeyExists(u"HKLM\\Empty\\Deeper"));
}

TEST(RegFileRoundTrip, WritesWhatRegeditWrites) {
  sim::Registry reg;
  FillAwkwardValues(reg);
  std::string text = Text(sim::ExportRegText(reg));
  auto has = [&](const std::string& line) {
    EXPECT_NE(text.find("\r\n" + line + "\r\n"), std::string::npos) << line;
  };
  EXPECT_EQ(text.substr(0, 91),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CLASSES_ROOT]\r\n\"RootValue\"=dword:00000000\r\n\r\n");
  has("[HKEY_CURRENT_USER\\Software]\r\n");  // an empty key still gets its block
  has("[HKEY_CURRENT_USER\\Software\\Zeq]\r\n@=\"default\"");
  has(R"("Plain"="a \"quoted\" C:\\path\r\nnext")");
  has(R"("NoNul"=hex(1):61,00,62,00,63,00)");
  has(R"("Odd"=hex(1):41,00,42)");
  has(R"("Tab"=hex(1):61,00,09,00,62,00,00,00)");
  has(R"("Inner\"Nul\\"=hex(1):61,00,00,00,62,00,00,00)");
  has("\"Unicode \u00e9\u4e2d\"=\"\u00e9t\u00e9 \U0001F600\"");
  has(R"("Dword"=dword:12345678)");
  has(R"("ShortDword"=hex(4):01,02)");
  has(R"("Empty"=hex:)");
  has(R"("Qword"=hex(b):01,02,03,04,05,06,07,08)");
  has(R"("Odd type"=hex(12345):09)");
  has("[HKEY_LOCAL_MACHINE\\Empty\\Deeper]\r\n");
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");

  // Long data breaks as regedit does: lines of at most 80 columns, ",\" then two spaces.
  size_t start = text.find("\"Long\"=hex:");
  size_t end = text.find("\r\n\r\n", start);
  std::string block = text.substr(start, end - start);
  size_t lines = 0, bytes = 0;
  for (size_t pos = 0; pos <= block.size(); ++lines) {
    size_t eol = std::min(block.find("\r\n", pos), block.size());
    std::string line = block.substr(pos, eol - pos);
    EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(line.substr(0, 2), lines > 0 ? "  " : "\"L");
    EXPECT_EQ(line.substr(line.size() - 2) == ",\\", eol < block.size()) << line;
    bytes += static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + (eol == block.size());
    pos = eol + 2;
  }
  EXPECT_EQ(bytes, 300u);
  EXPECT_EQ(block.find("\r\n"), 78u);  // "Long"=hex: then 22 bytes, as regedit lays it out
  EXPECT_GT(lines, 10u);
}

TEST(RegFileParse, ReadsUtf8ShortRootsAndEdits) {
  sim::Registry reg;
  reg.SetValue(u"HKCU\\Zeq", u"Old", REG_DWORD, {1, 0, 0, 0});
  reg.SetValue(u"HKCU\\Zeq\\Gone\\Deep", u"x", REG_DWORD, {1, 0, 0, 0});
  const std::string text =
      "\xEF\xBB\xBF  REGEDIT4\n"
      "\n"
      "; a comment\n"
      "[hkcu\\Zeq]\n"
      "\"Old\"=-\n"
      "\"Name\" = \"caf\xC3\xA9 \\\\ \\\"x\\\"\"\n"
      "@=dword:A\n"
      "\"Bytes\"=hex:01, 02 ,\\\n"
      "    ff\n"
      "\"Multi\"=hex(7):61,00,00,00,00,00\n"
      "[-HKEY_CURRENT_USER\\ZEQ\\gone]\n"
      "[HKLM\\New]\r\n";
  for (std::string input : {text, text.substr(3)}) {  // with and without the UTF-8 BOM
    sim::RegParseResult r = sim::ParseRegText(input, reg);
    ASSERT_TRUE(r.ok) << r.line << ": " << r.message;
  }
  EXPECT_FALSE(reg.GetValue(u"HKCU\\Zeq", u"Old"));
  EXPECT_EQ(reg.GetValue(u"HKCU\\Zeq", u"Name")->bytes, Utf16(u"caf\u00e9 \\ \"x\""));
  EXPECT_EQ(*reg.GetValue(u"HKCU\\Zeq", u""), (RegValue{REG_DWORD, {0x0A, 0, 0, 0}}));
  EXPECT_EQ(*reg.GetValue(u"HKCU\\Zeq", u"Bytes"), (RegValue{REG_BINARY, {1, 2, 0xFF}}));
  EXPECT_EQ(*reg.GetValue(u"HKCU\\Zeq", u"Multi"), (RegValue{REG_MULTI_SZ, {0x61, 0, 0, 0, 0, 0}}));
  EXPECT_FALSE(reg.KeyExists(u"HKCU\\Zeq\\Gone"));
  EXPECT_TRUE(reg.KeyExists(u"HKLM\\New"));
  EXPECT_EQ(reg.ListValues(u"HKCU\\Zeq").size(), 4u);
}

TEST(RegFileParse, RefusesMalformedFilesWholeWithTheLine) {
  const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\Zeq]\r\n";
  struct Case {
    std::string text;
    int line;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"REGEDIT5\r\n[HKCU\\A]\r\n", 1, "missing header"},
      {"", 1, "missing header"},
      {"Windows Registry Editor Version 5.00\r\n\"v\"=dword:1\r\n", 2, "outside of a key"},
      {head + "[HKEY_CURRENT_CONFIG\\A]\r\n", 4, "unknown root"},
      {head + "[HKCU\\A\r\n", 4, "missing ']'"},
      {head + "[HKCU\\A] x\r\n", 4, "after ']'"},
      {head + "[-HKLM]\r\n", 4, "root key cannot be deleted"},
      {head + "\"a\"=\"x\\ty\"\r\n", 4, "bad escape"},
      {head + "\"a=\"x\"\r\n", 4, "expected '='"},
      {head + "\"a\"=\"open\r\n", 4, "missing closing quote"},
      {head + "\"a\"=\"x\" y\r\n", 4, "after the value"},
      {head + "\"a\"=dword:123456789\r\n", 4, "bad dword"},
      {head + "\"a\"=dword:\r\n", 4, "bad dword"},
      {head + "\"a\"=dword:12g4\r\n", 4, "bad dword"},
      {head + "\"a\"=hex:01,zz\r\n", 4, "bad hex byte 'zz'"},
      {head + "\"a\"=hex:01,\\\r\n  02,\\\r\n  1ff\r\n", 6, "bad hex byte '1ff'"},
      {head + "\"a\"=hex:01,,02\r\n", 4, "missing hex byte"},
      {head + "\"a\"=hex:01,\\\r\n  0\r\n", 5, "bad hex byte '0': expected two hex digits"},
      {head + "\"a\"=hex:01,02,\r\n", 4, "ends with ','"},
      {head + "\"a\"=hex:01,\\\r\n", 4, "file ends inside"},
      {head + "\"a\"=hex(q):01\r\n", 4, "bad value type"},
      {head + "\"a\"=str:01\r\n", 4, "unrecognised value data"},
      {head + "\"a\"=\r\n", 4, "missing value data"},
      {head + "whatever\r\n", 4, "unexpected text"},
      {head + "\"ok\"=dword:1\r\n\"v\"=\"\xC3\x28\"\r\n", 5, "invalid UTF-8"},
      {head + std::string("\"v\"=\"a\0b\"\r\n", 11), 4, "NUL character"},
      {"\xFF\xFE" + std::string("W\0\n\0x", 5), 2, "half a character"},
  };
  for (const Case& c : cases) {
    sim::Registry reg;
    reg.SetValue(u"HKCU\\Zeq", u"keep", REG_DWORD, {1, 2, 3, 4});
    std::string before = sim::ExportRegText(reg);
    int changes = 0;
    reg.AddObserver([&](const sim::RegChange&) { ++changes; });
    sim::RegParseResult r = sim::ParseRegText(c.text, reg);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.line, c.line) << c.text;
    EXPECT_NE(r.message.find(c.message), std::string::npos) << c.text << " -> " << r.message;
    EXPECT_EQ(sim::ExportRegText(reg), before) << c.text;
    EXPECT_EQ(changes, 0) << c.text;
  }
}

class RegFileDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "dv_regfile_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".reg";
    sim::RemoveHostFile(path_);
  }
  void TearDown() override { sim::RemoveHostFile(path_); }
  std::string path_;
};

TEST_F(RegFileDisk, SavesAtomicallyAndLoadsBack) {
  sim::Registry reg;
  FillAwkwardValues(reg);
  std::string error;
  ASSERT_TRUE(sim::SaveRegFile(reg, path_, &error)) << error;
  ASSERT_TRUE(sim::SaveRegFile(reg, path_, &error)) << error;  // replaces the existing file
  std::string bytes;
  EXPECT_TRUE(sim::ReadHostFile(path_, &bytes, nullptr));
  EXPECT_EQ(bytes, sim::ExportRegText(reg));
  EXPECT_FALSE(sim::ReadHostFile(path_ + ".tmp", &bytes, nullptr));

  sim::Registry loaded;
  sim::RegParseResult r = sim::LoadRegFile(loaded, path_);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(sim::ExportRegText(loaded), sim::ExportRegText(reg));
  EXPECT_FALSE(sim::SaveRegFile(reg, path_ + ".d/missing/x.reg", &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(RegFileDisk, DamagedOrMissingFileChangesNothing) {
  sim::Registry reg;
  reg.SetValue(u"HKCU\\Zeq", u"keep", REG_SZ, Utf16(u"me"));
  const std::string before = sim::ExportRegText(reg);

  sim::RegParseResult r = sim::LoadRegFile(reg, path_);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.line, 0);
  EXPECT_FALSE(r.message.empty());
  std::string bytes;
  EXPECT_FALSE(sim::ReadHostFile(path_, &bytes, nullptr));  // not created by loading

  const std::string damaged =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKCU\\Zeq]\r\n\"keep\"=\"other\"\r\n"
      "[HKCU\\More]\r\n\"n\"=dword:xyz\r\n";
  ASSERT_TRUE(sim::WriteHostFileAtomic(path_, damaged, nullptr));
  r = sim::LoadRegFile(reg, path_);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.line, 6);
  EXPECT_NE(r.message.find(path_ + ":6: bad dword"), std::string::npos) << r.message;
  EXPECT_EQ(sim::ExportRegText(reg), before);
  ASSERT_TRUE(sim::ReadHostFile(path_, &bytes, nullptr));
  EXPECT_EQ(bytes, damaged);
}

}  // namespace
