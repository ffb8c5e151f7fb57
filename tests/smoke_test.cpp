#include <gtest/gtest.h>

#include "platform/wstr.h"

TEST(Wstr, RoundTripsUtf8) {
  EXPECT_EQ(platform::U8(platform::U16("a\xC3\xA9")), "a\xC3\xA9");
}
