#include "platform/formatw.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/wstr.h"

using platform::FormatW;
using platform::U8;

namespace {

// The UTF-8 of a format, for readable failure messages.
template <typename... A>
std::string F(std::u16string_view fmt, const A&... args) {
  return U8(FormatW(fmt, args...));
}

}  // namespace

TEST(FormatW, DebugLogFormatsOfTheDaemon) {
  const WCHAR* text = u"Lock";
  EXPECT_EQ(F(u"%02d:%02d:%02d \t%s\r\n", 7, 5, 0, text), "07:05:00 \tLock\r\n");
  EXPECT_EQ(F(u"Dorvane Wnd %0X", 0x1A2Bu), "Dorvane Wnd 1A2B");
  EXPECT_EQ(F(u"%s (%d)", std::u16string(u"Phone"), -3), "Phone (-3)");
  EXPECT_EQ(F(u"POOM Msg:%0X %d", 0x8019, 2), "POOM Msg:8019 2");
  EXPECT_EQ(F(u"%s.%d", u"vurl", 2), "vurl.2");
  EXPECT_EQ(F(u"%s\\%s", u"\\Windows", u"a.wav"), "\\Windows\\a.wav");
  EXPECT_EQ(F(u"Change_Reminder %d(%d) LCD=%d", 1, 0, 1), "Change_Reminder 1(0) LCD=1");
}

TEST(FormatW, IntegersWidthsAndPadding) {
  EXPECT_EQ(F(u"[%5d|%-5d|%05d]", -42, -42, -42), "[  -42|-42  |-0042]");
  EXPECT_EQ(F(u"[%.3d|%6.3d|%-06d]", 7, -7, 7), "[007|  -007|7     ]");  // 0 yields to . and -
  EXPECT_EQ(F(u"%d %i %u", INT32_MIN, 0, -1), "-2147483648 0 4294967295");
  // %d reads the 32 bits as signed whatever the C++ type, as printf on the device does.
  EXPECT_EQ(F(u"%d", 0xFFFFFFFFu), "-1");
  EXPECT_EQ(F(u"%x %X %08X %0X", 255, 255, 0xBEEFu, 0), "ff FF 0000BEEF 0");
  EXPECT_EQ(F(u"%x", -1), "ffffffff");
  EXPECT_EQ(F(u"%ld %hu %lx", 12L, 7, 16u), "12 7 10");
  EXPECT_EQ(F(u"[%.0d]", 0), "[]");
}

TEST(FormatW, TextAndCharacters) {
  std::u16string_view view = u"abcdef";
  EXPECT_EQ(F(u"[%s|%.3s|%8.2s|%-4s]", view, view, view, u"x"), "[abcdef|abc|      ab|x   ]");
  EXPECT_EQ(F(u"%s", static_cast<const WCHAR*>(nullptr)), "(null)");
  EXPECT_EQ(F(u"%c%c%3c", u'O', 0x4B, u'!'), "OK  !");
  EXPECT_EQ(F(u"caf%c", u'\u00E9'), "caf\xC3\xA9");
}

TEST(FormatW, OddFormatsAndArgumentsNeverReadGarbage) {
  EXPECT_EQ(F(u"100%%"), "100%");
  EXPECT_EQ(F(u"%q %5y end %", 1), "%q %5y end %");  // unknown conversions use no argument
  EXPECT_EQ(F(u"%s (%d) %x.", u"only"), "only () .");
  EXPECT_EQ(F(u"[%d|%s]", u"text", 5), "[|]");  // wrong kinds print nothing
  EXPECT_EQ(FormatW(u"%099999999999d", 1).size(), platform::kMaxFieldWidth);
}

TEST(FormatW, BufferIsCutAndAlwaysTerminated) {
  WCHAR buf[8];
  std::fill(std::begin(buf), std::end(buf), u'#');
  EXPECT_EQ(FormatW(buf, 8, u"%s=%05d", u"value", 42), 7u);
  EXPECT_EQ(std::u16string(buf), u"value=0");

  EXPECT_EQ(FormatW(buf, 4, u"%d", 123), 3u);
  EXPECT_EQ(std::u16string(buf), u"123");
  EXPECT_EQ(FormatW(buf, 1, u"abc"), 0u);
  EXPECT_EQ(buf[0], u'\0');

  buf[0] = u'#';
  EXPECT_EQ(FormatW(buf, 0, u"abc"), 0u);
  EXPECT_EQ(buf[0], u'#');
  EXPECT_EQ(FormatW(nullptr, 8, u"abc"), 0u);
}
