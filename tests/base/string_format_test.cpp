#include "base/string_format.h"

#include <gtest/gtest.h>

#include <string>

using sw::format;

// The result is whole at every length, including across the internal buffer's size.
TEST(StringFormat, ResultIsNeverCut) {
  EXPECT_EQ(format("%s", ""), "");
  EXPECT_EQ(format("%d:%02d %s", 3, 7, "min"), "3:07 min");
  for (size_t length : {254u, 255u, 256u, 257u, 4000u}) {
    const std::string text(length, 'x');
    EXPECT_EQ(format("[%s]", text.c_str()), "[" + text + "]");
  }
}
