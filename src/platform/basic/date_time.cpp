#include "platform/basic/date_time.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "platform/basic/date_parts.h"
#include "platform/basic/err.h"

namespace platform {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// The day number of 30 December 1899 counted from 1 January 1970.
constexpr int64_t kEpochOffset = -25569;

// Days since 1 January 1970 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

// A point in time as days and a fraction, counted linearly (so -0.75 is
// 29 December 1899 6:00), from a serial and back.
double SerialToLinear(double serial) {
  double day = std::trunc(serial);
  return day + std::fabs(serial - day);
}

double LinearToSerial(double linear) {
  double day = std::floor(linear);
  double fraction = linear - day;
  return day < 0 ? day - fraction : day + fraction;
}

double SerialOfParts(int year, int month, int day, int64_t seconds) {
  double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
  return LinearToSerial(days + static_cast<double>(seconds) / kSecondsPerDay);
}

double SerialOfTm(const std::tm& tm) {
  return SerialOfParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       int64_t{tm.tm_hour} * 3600 + tm.tm_min * 60 + tm.tm_sec);
}

// Appends a number of at least `width` digits (zero-padded).
void AppendNumber(std::string& text, int value, int width) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  for (auto length = result.ptr - buffer; length < width; ++length) text.push_back('0');
  text.append(buffer, result.ptr);
}

}  // namespace

bool IsValidDateSerial(double serial) { return serial > kMinDateSerial - 1 && serial < kMaxDateSerial + 1; }

DateParts SplitDate(double serial) {
  if (!IsValidDateSerial(serial)) RaiseError(kErrInvalidCall, "", "Date");
  double day = std::trunc(serial);
  int64_t days = static_cast<int64_t>(day);
  int64_t seconds = std::llround(std::fabs(serial - day) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) {
    // Rounding up to midnight moves to the next day, except past the last.
    if (days < static_cast<int64_t>(kMaxDateSerial)) {
      seconds -= kSecondsPerDay;
      ++days;
    } else {
      seconds = kSecondsPerDay - 1;
    }
  }
  DateParts parts;
  CivilFromDays(days + kEpochOffset, &parts.year, &parts.month, &parts.day);
  parts.hour = static_cast<int>(seconds / 3600);
  parts.minute = static_cast<int>(seconds / 60 % 60);
  parts.second = static_cast<int>(seconds % 60);
  parts.weekday = static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
  parts.has_time = seconds != 0;
  parts.is_day_zero = days == 0;
  return parts;
}

double DateFromParts(int year, int month, int day, int hour, int minute, int second) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59) {
    RaiseError(kErrInvalidCall, "", "Date");
  }
  double serial = SerialOfParts(year, month, day, int64_t{hour} * 3600 + minute * 60 + second);
  if (!IsValidDateSerial(serial)) RaiseError(kErrInvalidCall, "", "Date");
  return serial;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

int ExpandTwoDigitYear(int year) {
  if (year >= 0 && year <= 29) return 2000 + year;
  if (year >= 30 && year <= 99) return 1900 + year;
  return year;
}

double DateSerial(int year, int month, int day) {
  int64_t y = ExpandTwoDigitYear(year);
  // Carry months into years first, then let the day count run on.
  int64_t m = int64_t{month} - 1;
  y += m >= 0 ? m / 12 : -((-m + 11) / 12);
  m -= (m >= 0 ? m / 12 : -((-m + 11) / 12)) * 12;
  if (y < -100000 || y > 100000) RaiseError(kErrInvalidCall, "", "DateSerial");
  double serial = static_cast<double>(DaysFromCivil(y, m + 1, 1) - kEpochOffset + (int64_t{day} - 1));
  if (!IsValidDateSerial(serial)) RaiseError(kErrInvalidCall, "", "DateSerial");
  return serial;
}

double TimeSerial(int hour, int minute, int second) {
  int64_t seconds = int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
  double serial = LinearToSerial(static_cast<double>(seconds) / kSecondsPerDay);
  if (!IsValidDateSerial(serial)) RaiseError(kErrInvalidCall, "", "TimeSerial");
  return serial;
}

double DateAddTime(double date, double time) {
  double serial = LinearToSerial(SerialToLinear(date) + SerialToLinear(time));
  if (!IsValidDateSerial(serial)) RaiseError(kErrOverflow, "", "Date");
  return serial;
}

double Now() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  localtime_r(&now, &tm);
  return SerialOfTm(tm);
}

double NowUtc() {
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm tm{};
  gmtime_r(&now, &tm);
  return SerialOfTm(tm);
}

int Year(double serial) { return SplitDate(serial).year; }
int Month(double serial) { return SplitDate(serial).month; }
int Day(double serial) { return SplitDate(serial).day; }
int Hour(double serial) { return SplitDate(serial).hour; }
int Minute(double serial) { return SplitDate(serial).minute; }
int Second(double serial) { return SplitDate(serial).second; }
int Weekday(double serial) { return SplitDate(serial).weekday; }

// The year as it is, not padded: the year 100 shows as "1/1/100".
std::string FormatShortDate(double serial) { return FormatDate(serial, "M/d/") + std::to_string(Year(serial)); }
std::string FormatLongTime(double serial) { return FormatDate(serial, "h:mm:ss AM/PM"); }

std::string FormatGeneralDate(double serial) {
  DateParts parts = SplitDate(serial);
  if (parts.is_day_zero) return FormatLongTime(serial);
  if (!parts.has_time) return FormatShortDate(serial);
  return FormatShortDate(serial) + " " + FormatLongTime(serial);
}

namespace {

enum class Token { kLiteral, kYear4, kYear2, kMonth2, kMonth, kMinuteOrMonth2, kMinuteOrMonth, kDay2, kDay,
                   kHour24_2, kHour24, kHour2, kHour, kMinute2, kMinute, kSecond2, kSecond, kAmPm, kAmPmLower };

struct Piece {
  Token token;
  char literal = 0;
};

bool StartsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

std::vector<Piece> Tokenize(std::string_view pattern) {
  // Longest tokens first.
  static constexpr struct {
    std::string_view text;
    Token token;
  } kTokens[] = {
      {"AM/PM", Token::kAmPm}, {"am/pm", Token::kAmPmLower}, {"yyyy", Token::kYear4},
      {"yy", Token::kYear2},   {"MM", Token::kMonth2},        {"M", Token::kMonth},
      {"mm", Token::kMinuteOrMonth2}, {"m", Token::kMinuteOrMonth}, {"dd", Token::kDay2},
      {"d", Token::kDay},      {"HH", Token::kHour24_2},      {"H", Token::kHour24},
      {"hh", Token::kHour2},   {"h", Token::kHour},           {"nn", Token::kMinute2},
      {"n", Token::kMinute},   {"ss", Token::kSecond2},       {"s", Token::kSecond},
  };
  std::vector<Piece> pieces;
  size_t at = 0;
  pieces.reserve(pattern.size());
  while (at < pattern.size()) {
    if (std::string_view("AaMmydHhns").find(pattern[at]) == std::string_view::npos) {
      pieces.push_back({Token::kLiteral, pattern[at++]});
      continue;
    }
    bool matched = false;
    for (const auto& candidate : kTokens) {
      if (StartsWith(pattern, at, candidate.text)) {
        pieces.push_back({candidate.token});
        at += candidate.text.size();
        matched = true;
        break;
      }
    }
    if (!matched) pieces.push_back({Token::kLiteral, pattern[at++]});
  }
  return pieces;
}

bool IsHourToken(Token token) {
  return token == Token::kHour24_2 || token == Token::kHour24 || token == Token::kHour2 || token == Token::kHour;
}

bool IsSecondToken(Token token) { return token == Token::kSecond2 || token == Token::kSecond; }

// "m" means minutes right after an hour token or right before a seconds
// token (literals in between are skipped), else the month.
bool MeansMinutes(const std::vector<Piece>& pieces, size_t index) {
  for (size_t i = index; i-- > 0;) {
    if (pieces[i].token == Token::kLiteral) continue;
    if (IsHourToken(pieces[i].token)) return true;
    break;
  }
  for (size_t i = index + 1; i < pieces.size(); ++i) {
    if (pieces[i].token == Token::kLiteral) continue;
    return IsSecondToken(pieces[i].token);
  }
  return false;
}

}  // namespace

std::string FormatDate(double serial, std::string_view pattern) {
  DateParts parts = SplitDate(serial);
  std::vector<Piece> pieces = Tokenize(pattern);
  bool twelve_hour = false;
  for (const Piece& piece : pieces) {
    if (piece.token == Token::kAmPm || piece.token == Token::kAmPmLower) twelve_hour = true;
  }
  int hour12 = parts.hour % 12 == 0 ? 12 : parts.hour % 12;
  int clock_hour = twelve_hour ? hour12 : parts.hour;
  std::string text;
  text.reserve(pattern.size() + 8);
  for (size_t i = 0; i < pieces.size(); ++i) {
    switch (pieces[i].token) {
      case Token::kLiteral: text.push_back(pieces[i].literal); break;
      case Token::kYear4: AppendNumber(text, parts.year, 4); break;
      case Token::kYear2: AppendNumber(text, parts.year % 100, 2); break;
      case Token::kMonth2: AppendNumber(text, parts.month, 2); break;
      case Token::kMonth: AppendNumber(text, parts.month, 1); break;
      case Token::kMinuteOrMonth2: AppendNumber(text, MeansMinutes(pieces, i) ? parts.minute : parts.month, 2); break;
      case Token::kMinuteOrMonth: AppendNumber(text, MeansMinutes(pieces, i) ? parts.minute : parts.month, 1); break;
      case Token::kDay2: AppendNumber(text, parts.day, 2); break;
      case Token::kDay: AppendNumber(text, parts.day, 1); break;
      case Token::kHour24_2: AppendNumber(text, parts.hour, 2); break;
      case Token::kHour24: AppendNumber(text, parts.hour, 1); break;
      case Token::kHour2: AppendNumber(text, clock_hour, 2); break;
      case Token::kHour: AppendNumber(text, clock_hour, 1); break;
      case Token::kMinute2: AppendNumber(text, parts.minute, 2); break;
      case Token::kMinute: AppendNumber(text, parts.minute, 1); break;
      case Token::kSecond2: AppendNumber(text, parts.second, 2); break;
      case Token::kSecond: AppendNumber(text, parts.second, 1); break;
      case Token::kAmPm: text += parts.hour < 12 ? "AM" : "PM"; break;
      case Token::kAmPmLower: text += parts.hour < 12 ? "am" : "pm"; break;
    }
  }
  return text;
}

}  // namespace platform
