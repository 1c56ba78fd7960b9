#include "platform/basic/compare.h"

#include <gtest/gtest.h>

#include "raises.h"

namespace platform {
namespace {

using testing::ErrorNumberOf;

struct CompareCase {
  Variant a;
  Variant b;
  CompareResult expected;
};

TEST(CompareTest, VariantOrderFollowsBasicRules) {
  const CompareCase cases[] = {
      {5, "5", CompareResult::kLess},  // a number is less than any text
      {"5", 5, CompareResult::kGreater},
      {Variant(), "", CompareResult::kEqual},
      {Variant(), 0, CompareResult::kEqual},
      {Variant(), Variant(), CompareResult::kEqual},
      {Variant(), "x", CompareResult::kLess},
      {Variant(), -1, CompareResult::kGreater},
      {Variant(), false, CompareResult::kEqual},
      {true, -1, CompareResult::kEqual},
      {true, 1, CompareResult::kLess},
      {true, "True", CompareResult::kLess},
      {Variant::Null(), 5, CompareResult::kNull},
      {"x", Variant::Null(), CompareResult::kNull},
      {Variant::Null(), Variant::Null(), CompareResult::kNull},
      {Variant::Null(), Variant(), CompareResult::kNull},
      {5, 5.0, CompareResult::kEqual},
      {int16_t{5}, 5, CompareResult::kEqual},
      {uint8_t{5}, 5.0f, CompareResult::kEqual},
      {Variant::Currency(50000), 5, CompareResult::kEqual},
      {Variant::Currency(INT64_MAX - 1), Variant::Currency(INT64_MAX), CompareResult::kLess},
      {Variant::Date(1), 1, CompareResult::kEqual},
      {Variant::Date(36526), "1/1/2000", CompareResult::kLess},
      {0.1f, 0.1, CompareResult::kGreater},  // the Single widened is not 0.1
      {"abc", "abd", CompareResult::kLess},
      {"a", "A", CompareResult::kGreater},
      {"", "", CompareResult::kEqual},
      {"ab", "a", CompareResult::kGreater},
      {"\xC3\xA9", "z", CompareResult::kGreater},  // bytes compare unsigned
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(DebugString(c.a) + " vs " + DebugString(c.b));
    EXPECT_EQ(VarCompare(c.a, c.b), c.expected);
  }
}

TEST(CompareTest, CompareGivesTrueFalseOrNull) {
  EXPECT_TRUE(Identical(Compare(5, 5), Variant(true)));
  EXPECT_TRUE(Identical(Compare(5, "5"), Variant(false)));
  EXPECT_TRUE(Compare(Variant::Null(), 5).IsNull());
  EXPECT_TRUE(VarEquals(Variant(), ""));
  EXPECT_FALSE(VarEquals(Variant::Null(), Variant::Null()));
  EXPECT_FALSE(VarEquals(5, "5"));
}

TEST(CompareTest, TextModeIgnoresLetterCase) {
  EXPECT_TRUE(VarEquals("Hello", "hELLO", CompareMode::kText));
  EXPECT_FALSE(VarEquals("Hello", "hELLO", CompareMode::kBinary));
  EXPECT_EQ(StrComp("a", "B"), 1);  // binary: "B" (66) sorts before "a" (97)
  EXPECT_EQ(StrComp("a", "B", CompareMode::kText), -1);
  EXPECT_EQ(StrComp("abc", "ABC", CompareMode::kText), 0);
  EXPECT_EQ(StrComp("ab", "abc", CompareMode::kText), -1);
  EXPECT_TRUE(TextEquals("True", "tRUE"));
  EXPECT_FALSE(TextEquals("True", "Tru"));
}

TEST(CompareTest, ValuesWithoutAnOrderRaise) {
  EXPECT_EQ(ErrorNumberOf([] { VarCompare(Variant::Array({1}), 1); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { VarCompare(Variant::ByteArray("a"), "a"); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { VarCompare(Variant::Error(5), 5); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { VarCompare(Variant::Nothing(), 5); }), 91);
  // Null wins over everything, as in Basic.
  EXPECT_EQ(VarCompare(Variant::Null(), Variant::Array({1})), CompareResult::kNull);
}

}  // namespace
}  // namespace platform
