// Dates of the Basic runtime: serials (days since 30 December 1899, the time
// as the fraction of a day), with fixed en-US text forms.
//
// Negative serials are Basic's: the whole part counts days back from
// 30 December 1899 and the fraction is the time of that day, so -1.25 is
// 29 December 1899 6:00:00 AM (not 28 December 6:00 PM).
//
// Times are shown rounded to the second.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The first and the last valid day: 1 January 100 and 31 December 9999.
inline constexpr double kMinDateSerial = -657434.0;
inline constexpr double kMaxDateSerial = 2958465.0;

// A serial whose day (its whole part) lies in the valid range; false for NaN.
bool IsValidDateSerial(double serial);

// The serial of a day. Months and days outside their range carry over as in
// Basic (month 13 is January of the next year, day 0 the last of the month
// before); years 0 to 29 mean 2000 to 2029 and 30 to 99 mean 1930 to 1999.
// Raises 5 when the result is outside the valid dates.
double DateSerial(int year, int month, int day);
// The serial of a time of day; values outside their range carry over
// (TimeSerial(25, 0, 0) is 31 December 1899 1:00:00 AM).
double TimeSerial(int hour, int minute, int second);
// A day serial and a time serial joined (the day may be negative).
double DateAddTime(double date, double time);

// The current local time and the current UTC time, to the second.
double Now();
double NowUtc();

// Parts of a serial (the time rounded to the second first).
int Year(double serial);
int Month(double serial);
int Day(double serial);
int Hour(double serial);
int Minute(double serial);
int Second(double serial);
// 1 = Sunday ... 7 = Saturday.
int Weekday(double serial);

// Text forms (fixed en-US):
// general date "M/d/yyyy h:mm:ss AM" (date only at midnight, time only for a
// serial whose day is 30 December 1899, so 0 is "12:00:00 AM");
std::string FormatGeneralDate(double serial);
// short date "M/d/yyyy";
std::string FormatShortDate(double serial);
// long time "h:mm:ss AM".
std::string FormatLongTime(double serial);

// A small pattern formatter. Tokens:
//   yyyy  four-digit year          yy  two-digit year
//   MM    month, two digits        M   month
//   mm    minutes right after an hour token (as in "HH:mm"), else month
//   dd    day, two digits          d   day
//   HH    hour 0-23, two digits
//   hh    hour, two digits: 0-23, or 1-12 when the pattern has AM/PM
//   h     hour without padding: 0-23, or 1-12 when the pattern has AM/PM
//   nn    minutes, two digits      ss  seconds, two digits
//   AM/PM "AM" or "PM"
// Any other character is copied. Examples: "yyMMdd HH:mm:ss" (system log),
// "mm/dd/yyyy hh:nn:ss" (alert times), "ddmmyyhhnnss".
std::string FormatDate(double serial, std::string_view pattern);

// Reads a date text in the en-US forms "M/d/yyyy", "M/d/yy", "M-d-yyyy",
// "yyyy-mm-dd", "yyyy/mm/dd", each optionally followed by a time, or a time
// alone: "h:mm", "h:mm:ss", with optional "AM"/"PM". Two-digit years: 00-29
// are 20xx, 30-99 19xx. Surrounding blanks are allowed. nullopt when the text
// is not such a date or names a day that does not exist.
std::optional<double> ParseDate(std::string_view text);

}  // namespace platform
