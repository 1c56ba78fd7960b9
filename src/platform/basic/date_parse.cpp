// Reading date texts in the fixed en-US forms.
#include <string>

#include "platform/basic/date_parts.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"

namespace platform {
namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return at_ == text_.size(); }
  size_t position() const { return at_; }
  void Rewind(size_t position) { at_ = position; }

  // 1 to max_digits decimal digits; false when there are none or too many.
  bool Number(int max_digits, int* value, int* digits = nullptr) {
    int count = 0;
    int result = 0;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      if (++count > max_digits) return false;
      result = result * 10 + (text_[at_++] - '0');
    }
    if (digits != nullptr) *digits = count;
    *value = result;
    return count > 0;
  }

  bool Char(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool AnyOf(std::string_view chars, char* found) {
    if (at_ < text_.size() && chars.find(text_[at_]) != std::string_view::npos) {
      *found = text_[at_++];
      return true;
    }
    return false;
  }

  // Blanks; returns how many were skipped.
  size_t Blanks() {
    size_t start = at_;
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    return at_ - start;
  }

  // "AM"/"PM"/"A"/"P" in any letter case: 0 for none, 1 for AM, 2 for PM.
  int Meridiem() {
    if (at_ >= text_.size()) return 0;
    char c = static_cast<char>(text_[at_] | 0x20);
    if (c != 'a' && c != 'p') return 0;
    ++at_;
    if (at_ < text_.size() && (text_[at_] | 0x20) == 'm') ++at_;
    return c == 'a' ? 1 : 2;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

struct Date {
  int year;
  int month;
  int day;
};

// "M/d/yyyy", "M/d/yy", "M-d-yyyy", "yyyy-mm-dd", "yyyy/mm/dd".
bool ReadDate(Scanner& in, Date* date) {
  size_t start = in.position();
  int first, second, third, first_digits, third_digits;
  char separator;
  if (in.Number(4, &first, &first_digits) && in.AnyOf("/-", &separator) && in.Number(2, &second) &&
      in.Char(separator) && in.Number(4, &third, &third_digits)) {
    if (first_digits == 4) {
      *date = {first, second, third};
      return third_digits <= 2;
    }
    if (first_digits <= 2) {
      *date = {third_digits <= 2 ? ExpandTwoDigitYear(third) : third, first, second};
      return true;
    }
  }
  in.Rewind(start);
  return false;
}

// "h:mm", "h:mm:ss", each optionally followed by AM or PM.
bool ReadTime(Scanner& in, int* hour, int* minute, int* second) {
  *second = 0;
  if (!in.Number(2, hour) || !in.Char(':') || !in.Number(2, minute)) return false;
  if (in.Char(':') && !in.Number(2, second)) return false;
  size_t before_blanks = in.position();
  in.Blanks();
  int meridiem = in.Meridiem();
  if (meridiem == 0) {
    in.Rewind(before_blanks);
    return *hour <= 23;
  }
  if (*hour > 12) return false;
  if (meridiem == 1 && *hour == 12) *hour = 0;
  if (meridiem == 2 && *hour < 12) *hour += 12;
  return true;
}

}  // namespace

std::optional<double> ParseDate(std::string_view text) {
  Scanner in(text);
  in.Blanks();
  Date date{1899, 12, 30};
  int hour = 0, minute = 0, second = 0;
  bool has_date = ReadDate(in, &date);
  bool has_time = false;
  if (has_date) {
    size_t before = in.position();
    if (in.Blanks() > 0 && !in.AtEnd()) {
      has_time = ReadTime(in, &hour, &minute, &second);
      if (!has_time) return std::nullopt;
    } else {
      in.Rewind(before);
    }
  } else {
    has_time = ReadTime(in, &hour, &minute, &second);
    if (!has_time) return std::nullopt;
  }
  in.Blanks();
  if (!in.AtEnd()) return std::nullopt;
  if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > DaysInMonth(date.year, date.month) ||
      minute > 59 || second > 59 || date.year < 100 || date.year > 9999) {
    return std::nullopt;
  }
  return DateFromParts(date.year, date.month, date.day, hour, minute, second);
}

}  // namespace platform
