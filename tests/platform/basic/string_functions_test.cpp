#include "platform/basic/string_functions.h"

#include <gtest/gtest.h>

#include "raises.h"

namespace platform {
namespace {

using testing::ErrorNumberOf;

TEST(StringFunctionsTest, CaseAndTrim) {
  EXPECT_EQ(LCase("AbC1\xC3\x89"), "abc1\xC3\x89");  // only ASCII letters fold
  EXPECT_EQ(UCase("aBc-z"), "ABC-Z");
  EXPECT_EQ(Trim("  a b  "), "a b");
  EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // Basic trims spaces only
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(LTrim("  a "), "a ");
  EXPECT_EQ(RTrim("  a "), "  a");
}

TEST(StringFunctionsTest, LeftRightMidCutAtTheEnds) {
  EXPECT_EQ(Left("hello", 2), "he");
  EXPECT_EQ(Left("hello", 99), "hello");
  EXPECT_EQ(Right("hello", 3), "llo");
  EXPECT_EQ(Right("hello", 99), "hello");
  EXPECT_EQ(Mid("hello", 2), "ello");
  EXPECT_EQ(Mid("hello", 2, 3), "ell");
  EXPECT_EQ(Mid("hello", 5, 99), "o");
  EXPECT_EQ(Mid("hello", 6), "");
  EXPECT_EQ(Mid("hello", 2, 0), "");
  EXPECT_EQ(ErrorNumberOf([] { Mid("hello", 0); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { Mid("hello", 1, -1); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { Left("hello", -1); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { Right("hello", -1); }), 5);
}

struct HexCase {
  Variant value;
  const char* expected;
};

TEST(StringFunctionsTest, HexIsUpperCaseTwosComplement) {
  EXPECT_EQ(Hex(255), "FF");
  EXPECT_EQ(Hex(0), "0");
  EXPECT_EQ(Hex(-1), "FFFFFFFF");
  EXPECT_EQ(Hex(0x80047723u), "80047723");
  const HexCase cases[] = {
      {int16_t{-1}, "FFFF"}, {int16_t{255}, "FF"}, {uint8_t{10}, "A"}, {Variant(), "0"},
      {"255", "FF"},         {2.5, "2"},           {-2, "FFFFFFFE"},  {true, "FFFFFFFF"},
  };
  for (const HexCase& c : cases) {
    SCOPED_TRACE(DebugString(c.value));
    EXPECT_EQ(Hex(c.value), c.expected);
  }
  EXPECT_EQ(ErrorNumberOf([] { Hex(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorNumberOf([] { Hex(Variant(5e9)); }), 6);
}

}  // namespace
}  // namespace platform
