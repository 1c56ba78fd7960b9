// A date serial taken apart into calendar parts, and put back together.
#pragma once

namespace platform {

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 7;           // 1 = Sunday ... 7 = Saturday
  bool has_time = false;     // not midnight
  bool is_day_zero = true;   // 30 December 1899: a pure time
};

// The parts of a serial, the time rounded to the second. Raises 5 for a
// serial outside the valid dates (or NaN).
DateParts SplitDate(double serial);

// The serial of a calendar date and time; every part must be in its range
// (no carrying over) and the result a valid date, else raises 5.
double DateFromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// 28 to 31; 0 for a month outside 1 to 12.
int DaysInMonth(int year, int month);

// Basic's reading of a two-digit year: 0-29 are 2000-2029, 30-99 are
// 1930-1999; other years are returned as they are.
int ExpandTwoDigitYear(int year);

}  // namespace platform
