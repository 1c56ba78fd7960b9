// Text and array helpers, and the placeholders of message templates.
#include "folders_fixture.h"
#include "platform/basic/variant.h"
#include "settings/folders/array_utilities.h"
#include "settings/folders/fill_placeholders.h"
#include "settings/folders/text_utilities.h"

namespace settings {
namespace {

using platform::Variant;
using namespace std::string_literals;

TEST(TextUtilitiesTest, TrimControlCharsRemovesCodesBelow33AtBothEnds) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {" \t\r\nvalue\r\n\0"s, "value"},
      {"\x01\x1f inner  space \x7f", "inner  space \x7f"},  // DEL (127) is no control here
      {"\xc3\xa9t\xc3\xa9 ", "\xc3\xa9t\xc3\xa9"},          // bytes above 127 stay
      {" \t ", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(TrimControlChars(c.text), c.expected) << c.text;
}

TEST(TextUtilitiesTest, CutAtNulKeepsThePartBeforeTheFirstNulTrimmed) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"\0everything after"s, ""},
      {"  name \0\0garbage"s, "name"},
      {"  no nul here  ", "no nul here"},
      {"tab\tkept\t", "tab\tkept\t"},  // only spaces are trimmed
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CutAtNul(c.text), c.expected) << c.text;
}

TEST(ArrayUtilitiesTest, ByteArraysEqualNeedsTheSameBoundsAndBytes) {
  const Variant abc = Variant::ByteArray("abc"s);
  struct Case {
    Variant a, b;
    bool expected;
  };
  const Case cases[] = {
      {abc, Variant::ByteArray("abc"s), true},
      {Variant::ByteArray(""s), Variant::ByteArray(""s), true},
      {abc, Variant::ByteArray("abd"s), false},
      {abc, Variant::ByteArray("abcd"s), false},
      {abc, Variant::ByteArray("abc"s, 1), false},  // same bytes, other bounds
      {abc, Variant::Array({Variant(int32_t{97}), Variant(int32_t{98}), Variant(int32_t{99})}), true},
      {abc, Variant::Array({Variant("x"), Variant(int32_t{98}), Variant(int32_t{99})}), false},
      {abc, Variant("abc"), false},
      {abc, Variant::UnallocatedArray(platform::VarType::kByte), false},
      {Variant(), Variant(), false},
  };
  for (const Case& c : cases) EXPECT_EQ(ByteArraysEqual(c.a, c.b), c.expected) << platform::TypeName(c.b);
}

TEST(ArrayUtilitiesTest, SafeUpperBoundIsMinusOneWithoutAnArray) {
  EXPECT_EQ(SafeUpperBound(Variant::ByteArray("abc"s)), 2);
  EXPECT_EQ(SafeUpperBound(Variant::ByteArray("abc"s, 5)), 7);
  EXPECT_EQ(SafeUpperBound(Variant::ByteArray(""s)), -1);
  EXPECT_EQ(SafeUpperBound(Variant::UnallocatedArray(platform::VarType::kVariant)), -1);
  EXPECT_EQ(SafeUpperBound(Variant(int32_t{4})), -1);
  EXPECT_EQ(SafeUpperBound(Variant()), -1);
}

TEST_F(FoldersTest, FillPlaceholdersReplacesInOrderOverTheGrowingText) {
  struct Case {
    std::string text_template;
    std::string a1, a2, a3, a4, a5;
    std::string expected;
  };
  const Case cases[] = {
      {"SvcInit::Init - loaded user settings %1 ( %2 )", "S-1-5-21", "Ann", "", "", "", 
       "SvcInit::Init - loaded user settings S-1-5-21 ( Ann )"},
      {"%1|%1|%5", "x", "", "", "", "y", "x|x|y"},
      {"%1 then %3", "has %2 and %3", "two", "three", "", "", "has two and three then three"},
      {"%2 keeps %1", "a", "%1", "", "", "", "%1 keeps a"},  // %1 was already filled when %2 brought it
      {"gone:%1%2%3%4%5.", "", "", "", "", "", "gone:."},
      {"%10 and %6", "one", "", "", "", "", "one0 and %6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FillPlaceholders(c.text_template, c.a1, c.a2, c.a3, c.a4, c.a5), c.expected) << c.text_template;
  }
}

TEST_F(FoldersTest, FillPlaceholdersExpandsBrandingMacrosFirst) {
  EXPECT_EQ(FillPlaceholders("%%PRODUCTNAMESHORT %1", "2.1"), "Veltris 2.1");
  // A macro brought in by an argument is not expanded: arguments are data.
  EXPECT_EQ(FillPlaceholders("%1", "%%PRODUCTNAMESHORT"), "%%PRODUCTNAMESHORT");
}

}  // namespace
}  // namespace settings
