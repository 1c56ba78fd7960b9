#include "platform/basic/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "platform/basic/date_parts.h"
#include "raises.h"

namespace platform {
namespace {

using testing::ErrorNumberOf;

struct SerialCase {
  int year, month, day;
  double expected;
};

TEST(DateTimeTest, DateSerialCountsDaysFrom30December1899) {
  const SerialCase cases[] = {
      {1899, 12, 30, 0},       {1899, 12, 29, -1},     {1900, 1, 1, 2},         {2000, 1, 1, 36526},
      {2000, 13, 1, 36892},    {2000, 3, 0, 36585},    {2000, 1, -30, 36495},   {2001, -1, 1, 36831},
      {99, 1, 1, 36161},       {29, 1, 1, 47119},      {30, 1, 1, 10959},       {100, 1, 1, -657434},
      {9999, 12, 31, 2958465},
  };
  for (const SerialCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day));
    EXPECT_EQ(DateSerial(c.year, c.month, c.day), c.expected);
  }
  EXPECT_EQ(ErrorNumberOf([] { DateSerial(10000, 1, 1); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { DateSerial(100, 1, 0); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { DateSerial(2000, INT32_MAX, INT32_MAX); }), 5);
}

TEST(DateTimeTest, TimeSerialCarriesOver) {
  EXPECT_EQ(TimeSerial(12, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(TimeSerial(25, 0, 0), 1 + 1.0 / 24);
  EXPECT_DOUBLE_EQ(TimeSerial(0, 90, 0), 1.5 / 24);
  // An hour before 30 December 1899 0:00 is 29 December 11:00 PM.
  EXPECT_DOUBLE_EQ(TimeSerial(-1, 0, 0), -1 - 23.0 / 24);
  EXPECT_EQ(FormatGeneralDate(TimeSerial(-1, 0, 0)), "12/29/1899 11:00:00 PM");
  EXPECT_DOUBLE_EQ(DateAddTime(DateSerial(2000, 1, 1), TimeSerial(18, 0, 0)), 36526.75);
  EXPECT_DOUBLE_EQ(DateAddTime(-1, 0.25), -1.25);
}

struct PartsCase {
  double serial;
  int year, month, day, hour, minute, second, weekday;
};

TEST(DateTimeTest, PartsOfASerial) {
  const PartsCase cases[] = {
      {36526.75, 2000, 1, 1, 18, 0, 0, 7},             // a Saturday evening
      {0, 1899, 12, 30, 0, 0, 0, 7},
      {1, 1899, 12, 31, 0, 0, 0, 1},
      {-1.25, 1899, 12, 29, 6, 0, 0, 6},               // day back, time forward
      {-0.5, 1899, 12, 30, 12, 0, 0, 7},
      {36526 + 59.6 / 86400, 2000, 1, 1, 0, 1, 0, 7},  // rounded to the second
      {36526.9999999, 2000, 1, 2, 0, 0, 0, 1},         // ...which may carry to the next day
      {45356 + (14 * 3600 + 7 * 60 + 9) / 86400.0, 2024, 3, 5, 14, 7, 9, 3},
  };
  for (const PartsCase& c : cases) {
    SCOPED_TRACE(c.serial);
    EXPECT_EQ(Year(c.serial), c.year);
    EXPECT_EQ(Month(c.serial), c.month);
    EXPECT_EQ(Day(c.serial), c.day);
    EXPECT_EQ(Hour(c.serial), c.hour);
    EXPECT_EQ(Minute(c.serial), c.minute);
    EXPECT_EQ(Second(c.serial), c.second);
    EXPECT_EQ(Weekday(c.serial), c.weekday);
  }
  EXPECT_EQ(ErrorNumberOf([] { Year(std::nan("")); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { Year(1e9); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { DateFromParts(2001, 2, 29); }), 5);
}

struct FormatCase {
  double serial;
  const char* pattern;
  const char* expected;
};

TEST(DateTimeTest, PatternFormatter) {
  const double afternoon = DateAddTime(DateSerial(2024, 3, 5), TimeSerial(14, 7, 9));
  const double morning = DateAddTime(DateSerial(2024, 11, 25), TimeSerial(0, 5, 0));
  const FormatCase cases[] = {
      {afternoon, "yyMMdd HH:mm:ss", "240305 14:07:09"},
      {afternoon, "mm/dd/yyyy hh:nn:ss", "03/05/2024 14:07:09"},
      {afternoon, "ddmmyyhhnnss", "050324140709"},
      {afternoon, "M/d/yyyy h:mm:ss AM/PM", "3/5/2024 2:07:09 PM"},
      {afternoon, "hh:mm AM/PM", "02:07 PM"},
      {afternoon, "h:mm am/pm", "2:07 pm"},
      {afternoon, "yyyy-MM-dd", "2024-03-05"},
      {afternoon, "d/M/yy", "5/3/24"},
      {afternoon, "m:ss", "7:09"},  // m before seconds is minutes
      {morning, "mm/dd/yyyy hh:nn:ss", "11/25/2024 00:05:00"},
      {morning, "h:nn AM/PM", "12:05 AM"},
      {morning, "H:nn", "0:05"},
      {DateSerial(100, 1, 1), "yyyy", "0100"},
      {0, "[yyyy]", "[1899]"},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(FormatDate(c.serial, c.pattern), c.expected);
  }
}

TEST(DateTimeTest, GeneralShortAndLongForms) {
  EXPECT_EQ(FormatGeneralDate(36526.75), "1/1/2000 6:00:00 PM");
  EXPECT_EQ(FormatGeneralDate(36526), "1/1/2000");
  EXPECT_EQ(FormatGeneralDate(0.5), "12:00:00 PM");
  EXPECT_EQ(FormatGeneralDate(0), "12:00:00 AM");
  EXPECT_EQ(FormatGeneralDate(-1.25), "12/29/1899 6:00:00 AM");
  EXPECT_EQ(FormatGeneralDate(DateSerial(2024, 12, 31) + 0.5 / 24), "12/31/2024 12:30:00 AM");
  // Rounding never runs past the last valid day.
  EXPECT_EQ(FormatGeneralDate(2958465.9999999), "12/31/9999 11:59:59 PM");
  EXPECT_EQ(FormatShortDate(36526.75), "1/1/2000");
  EXPECT_EQ(FormatLongTime(36526.75), "6:00:00 PM");
  EXPECT_EQ(FormatLongTime(36526), "12:00:00 AM");
}

struct ParseCase {
  const char* text;
  double expected;
};

TEST(DateTimeTest, ParseDateReadsTheEnUsForms) {
  const ParseCase cases[] = {
      {"1/1/2000", 36526},
      {"01/01/2000", 36526},
      {"1-1-2000", 36526},
      {"2000-01-01", 36526},
      {"2000/1/1", 36526},
      {"12/31/96", DateSerial(1996, 12, 31)},
      {"1/1/29", DateSerial(2029, 1, 1)},
      {"1/1/30", DateSerial(1930, 1, 1)},
      {"1/1/2000 6:00:00 PM", 36526.75},
      {"1/1/2000 18:00", 36526.75},
      {"  1/1/2000   6:00 pm  ", 36526.75},
      {"1/1/2000 12:00:00 AM", 36526},
      {"6:00:00 PM", 0.75},
      {"6:00 P", 0.75},
      {"12:00 PM", 0.5},
      {"12:00 AM", 0},
      {"18:00:00", 0.75},
      {"12/29/1899 6:00:00 AM", -1.25},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<double> parsed = ParseDate(c.text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_DOUBLE_EQ(*parsed, c.expected);
  }
  for (const char* bad : {"", "2000", "1/2000", "1/1/2000/1", "2000-1-1-1", "1/1/12345", "12345-1-1",
                          "1/1/2000 6", "1/1/2000 6:00 XM", "1/1/99 25:00", "6:0:0:0", "0/1/2000",
                          "1/32/2000", "1/1/0099", "1/1/2000T6:00", "2000-01-01 x"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseDate(bad).has_value());
  }
}

TEST(DateTimeTest, TextFormsReadBackToTheSameSerial) {
  for (double serial : {36526.75, 45356.5884375, -1.25, 0.25, 2958465.0}) {
    SCOPED_TRACE(serial);
    std::optional<double> back = ParseDate(FormatGeneralDate(serial));
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(*back, serial, 0.5 / 86400);
  }
}

TEST(DateTimeTest, NowIsTheLocalClockAndNowUtcTheUniversalOne) {
  std::time_t clock = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&clock, &utc);
  double expected_utc = DateAddTime(DateSerial(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday),
                                    TimeSerial(utc.tm_hour, utc.tm_min, utc.tm_sec));
  EXPECT_NEAR(NowUtc(), expected_utc, 5.0 / 86400);
  std::tm local{};
  localtime_r(&clock, &local);
  double expected_local = DateAddTime(DateSerial(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                                      TimeSerial(local.tm_hour, local.tm_min, local.tm_sec));
  EXPECT_NEAR(Now(), expected_local, 5.0 / 86400);
  // Whole seconds, as Basic's Now.
  double now = NowUtc() * 86400;
  EXPECT_NEAR(now, std::round(now), 1e-3);
}

}  // namespace
}  // namespace platform
