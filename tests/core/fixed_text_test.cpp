#include "core/fixed_text.h"

#include <gtest/gtest.h>

namespace core {
namespace {

TEST(FixedText, CutsInsteadOfOverflowing) {
  FixedText<6> t("abcdefgh");
  EXPECT_EQ(t, "abcde");
  EXPECT_EQ(t.size(), 5u);
  t = "ab";
  t.Append("cdefg");
  EXPECT_EQ(t, "abcde");
  t.Append('z');
  EXPECT_EQ(t, "abcde");
  t.Format("%d-%s", 1234, "xyz");
  EXPECT_EQ(t, "1234-");
  t.Truncate(2);
  EXPECT_STREQ(t.c_str(), "12");
  t.Assign(t.view().substr(1));  // self-assignment from inside the buffer
  EXPECT_EQ(t, "2");
  t.Assign(static_cast<const char*>(nullptr));
  EXPECT_TRUE(t.empty());
}

TEST(FixedText, ResyncAfterRawWrite) {
  FixedText<4> t;
  std::memcpy(t.Data(), "abcd", 4);  // no terminator within the buffer
  t.Resync();
  EXPECT_EQ(t, "abc");
}

}  // namespace
}  // namespace core
