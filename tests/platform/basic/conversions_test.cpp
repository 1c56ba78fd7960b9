#include "platform/basic/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/basic/date_time.h"

#include "raises.h"

namespace platform {
namespace {

using testing::ErrorNumberOf;

Variant Bytes(std::string_view text) { return Variant::ByteArray(text); }

struct BoolCase {
  Variant value;
  bool expected;
  int error;
};

TEST(ConversionsTest, CBoolReadsTrueFalseTextsAndNumbers) {
  const BoolCase cases[] = {
      {"True", true, 0},       {"false", false, 0},   {"TRUE", true, 0},     {" True ", true, 0},
      {"1", true, 0},          {"0", false, 0},       {"-1", true, 0},       {"0.0", false, 0},
      {"2.5", true, 0},        {"yes", false, 13},    {"", false, 13},       {"Tru", false, 13},
      {Variant(), false, 0},   {Variant::Null(), false, 94},                 {0, false, 0},
      {5, true, 0},            {0.5, true, 0},        {true, true, 0},       {false, false, 0},
      {Variant::Date(0), false, 0},                   {Variant::Date(1), true, 0},
      {Variant::Currency(1), true, 0},                {Variant::Error(5), false, 13},
      {Bytes("1"), false, 13},
  };
  for (const BoolCase& c : cases) {
    SCOPED_TRACE(DebugString(c.value));
    bool result = false;
    EXPECT_EQ(ErrorNumberOf([&] { result = CBool(c.value); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(result, c.expected);
    }
  }
}

struct LongCase {
  Variant value;
  int32_t expected;
  int error;
};

TEST(ConversionsTest, CLngRoundsHalfToEvenAndChecksTheRange) {
  const LongCase cases[] = {
      {"5", 5, 0},
      {"5.5", 6, 0},
      {"6.5", 6, 0},
      {"-2.5", -2, 0},
      {"-3.5", -4, 0},
      {"x", 0, 13},
      {"", 0, 13},
      {".", 0, 13},
      {"1e", 0, 13},
      {"--1", 0, 13},
      {"5x", 0, 13},
      {2147483648.0, 0, 6},
      {"2147483648", 0, 6},
      {2147483647.5, 0, 6},
      {"2147483647", 2147483647, 0},
      {-2147483648.5, INT32_MIN, 0},
      {-2147483649.0, 0, 6},
      {Variant(), 0, 0},
      {Variant::Null(), 0, 94},
      {true, -1, 0},
      {"&HFF", 255, 0},
      {"&hffffffff", -1, 0},
      {"&H100000000", 0, 13},
      {"&O17", 15, 0},
      {"1,000", 1000, 0},
      {" 12 ", 12, 0},
      {"1E3", 1000, 0},
      {"1d3", 1000, 0},
      {"$5", 5, 0},
      {"-$5", -5, 0},
      {"+.5", 0, 0},
      {"1.", 1, 0},
      {Variant::Date(36526.75), 36527, 0},
      {Variant::Currency(25000), 2, 0},
      {Variant(std::nan("")), 0, 6},
      {Variant::Error(5), 0, 13},
      {Variant::Nothing(), 0, 91},
      {Bytes("5"), 0, 13},
  };
  for (const LongCase& c : cases) {
    SCOPED_TRACE(DebugString(c.value));
    int32_t result = 0;
    EXPECT_EQ(ErrorNumberOf([&] { result = CLng(c.value); }), c.error);
    if (c.error == 0) {
      EXPECT_EQ(result, c.expected);
    }
  }
}

TEST(ConversionsTest, SmallerWholeNumbersOverflowAtTheirOwnLimits) {
  EXPECT_EQ(CInt(Variant(32767)), 32767);
  EXPECT_EQ(CInt(Variant(-32768.5)), -32768);
  EXPECT_EQ(ErrorNumberOf([] { CInt(Variant(32767.5)); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { CInt(Variant("40000")); }), 6);
  EXPECT_EQ(CByte(Variant(255)), 255);
  EXPECT_EQ(CByte(Variant(-0.5)), 0);
  EXPECT_EQ(ErrorNumberOf([] { CByte(Variant(256)); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { CByte(Variant(-1)); }), 6);
}

TEST(ConversionsTest, FloatingConversions) {
  EXPECT_EQ(CDbl(Variant("1.5")), 1.5);
  EXPECT_EQ(CDbl(Variant("1D2")), 100.0);
  EXPECT_EQ(CDbl(Variant("1E-400")), 0.0);
  EXPECT_EQ(CDbl(Variant()), 0.0);
  EXPECT_EQ(CDbl(Variant::Currency(15000)), 1.5);
  EXPECT_EQ(ErrorNumberOf([] { CDbl(Variant("1E400")); }), 13);
  // A date text is not a number.
  EXPECT_EQ(ErrorNumberOf([] { CDbl(Variant("1/1/2000")); }), 13);
  EXPECT_EQ(CSng(Variant("0.5")), 0.5f);
  EXPECT_EQ(ErrorNumberOf([] { CSng(Variant(1e39)); }), 6);
  EXPECT_EQ(CCur(Variant("1.23456")), 12346);
  EXPECT_EQ(CCur(Variant(0.00005)), 0);  // half to even at the fourth decimal
  EXPECT_EQ(ErrorNumberOf([] { CCur(Variant(1e300)); }), 6);
}

TEST(ConversionsTest, CDateTakesDatesTextsAndSerials) {
  EXPECT_EQ(CDate(Variant("1/1/2000")), 36526.0);
  EXPECT_EQ(CDate(Variant("1/1/2000 6:00:00 PM")), 36526.75);
  EXPECT_EQ(CDate(Variant(36526.5)), 36526.5);
  EXPECT_EQ(CDate(Variant("36526")), 36526.0);
  EXPECT_EQ(CDate(Variant()), 0.0);
  EXPECT_EQ(ErrorNumberOf([] { CDate(Variant("x")); }), 13);
  EXPECT_EQ(ErrorNumberOf([] { CDate(Variant(1e10)); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { CDate(Variant::Null()); }), 94);
}

struct TextCase {
  Variant value;
  const char* expected;
};

TEST(ConversionsTest, CStrGivesBasicTextForms) {
  const TextCase cases[] = {
      {true, "True"},
      {false, "False"},
      {42, "42"},
      {int16_t{-5}, "-5"},
      {uint8_t{255}, "255"},
      {1.5, "1.5"},
      {0.1 + 0.2, "0.3"},
      {1e20, "1E+20"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {1.0 / 81, "1.23456790123457E-02"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"},
      {1e-5, "0.00001"},
      {-0.0, "0"},
      {-1.5, "-1.5"},
      {1.5e-20, "1.5E-20"},
      {1e100, "1E+100"},
      {1234567.0, "1234567"},
      {0.1f, "0.1"},
      {1e7f, "1E+07"},
      {1234567.0f, "1234567"},
      // Exactly halfway at the last shown digit: away from zero.
      {654322.25f, "654322.3"},
      {-654322.25f, "-654322.3"},
      {654322.35f, "654322.4"},  // the Single lies just above .35
      {9999999.5f, "1E+07"},
      {0.125f, "0.125"},
      {1234567890123.125, "1234567890123.13"},
      {-1234567890123.125, "-1234567890123.13"},
      {999999999999999.5, "1E+15"},
      {2.5, "2.5"},
      {Variant::Currency(15000), "1.5"},
      {Variant::Currency(-1), "-0.0001"},
      {Variant::Currency(INT64_MIN), "-922337203685477.5808"},
      {Variant(), ""},
      {Variant::Date(36526.5), "1/1/2000 12:00:00 PM"},
      {Variant::Date(36526), "1/1/2000"},
      {Variant::Date(0.75), "6:00:00 PM"},
      {Variant::Date(0), "12:00:00 AM"},
      // Years before 1000 are not padded.
      {Variant::Date(-657434), "1/1/100"},
      {Variant::Date(-657434.5), "1/1/100 12:00:00 PM"},
      {Variant::Date(-329081), "1/1/999"},
      {Variant::Date(-328716), "1/1/1000"},
      {Variant::Error(5), "Error 5"},
      {Bytes("ab"), "ab"},
      {"as is", "as is"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(DebugString(c.value));
    EXPECT_EQ(CStr(c.value), c.expected);
  }
  EXPECT_EQ(ErrorNumberOf([] { CStr(Variant::Null()); }), 94);
  EXPECT_EQ(ErrorNumberOf([] { CStr(Variant::Array({1, 2})); }), 13);
}

struct TestCase {
  Variant value;
  bool expected;
};

TEST(ConversionsTest, IsNumeric) {
  const TestCase cases[] = {
      {"5", true},        {"5.5", true},       {" 5 ", true},     {"-5", true},      {"1,000", true},
      {"1E5", true},      {"&HFF", true},      {"$5", true},      {"", false},       {"abc", false},
      {"5x", false},      {".", false},        {"1/1/2000", false}, {"True", false}, {Variant(), true},
      {Variant::Null(), false},                {true, true},      {5, true},         {2.5, true},
      {Variant::Date(1), false},               {Variant::Nothing(), false},          {Bytes("5"), false},
      {Variant::Error(1), false},
  };
  for (const TestCase& c : cases) {
    SCOPED_TRACE(DebugString(c.value));
    EXPECT_EQ(IsNumeric(c.value), c.expected);
  }
}

TEST(ConversionsTest, IsDate) {
  const TestCase cases[] = {
      {"1/1/2000", true},   {"12/31/1999 11:59:59 PM", true}, {"13:45", true},       {"13:45:10", true},
      {"2000-01-31", true}, {"1:00 PM", true},                {"1/1/99", true},      {"2/29/2000", true},
      {"2/29/1900", false}, {"2/30/2000", false},             {"13/1/2000", false},  {"25:00", false},
      {"13:00 PM", false},  {"12:60", false},                 {"5", false},          {"1.5", false},
      {"", false},          {"abc", false},                   {"1/1/2000 x", false}, {Variant::Date(1), true},
      {36526, false},       {Variant(), false},               {Variant::Null(), false},
  };
  for (const TestCase& c : cases) {
    SCOPED_TRACE(DebugString(c.value));
    EXPECT_EQ(IsDate(c.value), c.expected);
  }
}

TEST(ConversionsTest, ConvertToGivesTheRequestedType) {
  EXPECT_TRUE(Identical(ConvertTo("5", VarType::kLong), Variant(5)));
  EXPECT_TRUE(Identical(ConvertTo(5, VarType::kString), Variant("5")));
  EXPECT_TRUE(Identical(ConvertTo("1", VarType::kBoolean), Variant(true)));
  EXPECT_TRUE(Identical(ConvertTo("1/1/2000", VarType::kDate), Variant::Date(36526)));
  EXPECT_TRUE(Identical(ConvertTo("ab", ArrayOf(VarType::kByte)), Bytes("ab")));
  EXPECT_TRUE(ConvertTo(Variant::Null(), VarType::kVariant).IsNull());
  EXPECT_EQ(ErrorNumberOf([] { ConvertTo(Variant::Null(), VarType::kLong); }), 94);
  EXPECT_EQ(ErrorNumberOf([] { ConvertTo(5, VarType::kObject); }), 424);
  EXPECT_EQ(ErrorNumberOf([] { ConvertTo(5, VarType::kEmpty); }), 13);
}

TEST(ConversionsTest, AFailedConversionLeavesThePendingErrorAlone) {
  // The tests never disturb the caller's Err: IsNumeric of an object whose
  // default value cannot be read says False and records nothing.
  Err::Set(53);
  EXPECT_FALSE(IsNumeric(Variant::Nothing()));
  EXPECT_EQ(Err::Number(), 53);
  Err::Clear();
}

}  // namespace
}  // namespace platform

namespace platform {
namespace {

TEST(ConversionsTest, DoubleTextReadsBackWithinFifteenDigits) {
  std::mt19937_64 random(20240305);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  for (int i = 0; i < 3000; ++i) {
    double value = mantissa(random) * std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
    std::string text = FormatDouble(value);
    SCOPED_TRACE(text);
    std::optional<double> back = ParseNumber(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(*back, value, std::fabs(value) * 1e-14);
    size_t digits = 0;
    for (char c : text.substr(0, text.find('E'))) digits += (c >= '1' && c <= '9') || c == '0';
    EXPECT_LE(digits, 16u);  // 15 significant digits, plus a leading "0." at most
  }
}

TEST(ConversionsTest, ArbitraryTextNeverBreaksTheReaders) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789+-.,$&HhOoEeDd/: APMapm\t";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    size_t length = random() % 24;
    for (size_t j = 0; j < length; ++j) {
      text.push_back(i % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()]);
    }
    ParseNumber(text);
    ParseDate(text);
    (void)IsNumeric(text);
    Variant value(text);
    try {
      CDate(value);
      CLng(value);
      CBool(value);
    } catch (const BasicError&) {
    }
  }
}

}  // namespace
}  // namespace platform
