// Numbers to text and back, with Basic's fixed en-US rules.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/basic/conversions.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "&H..." or "&O...": at most 32 bits, read as a signed 32-bit number.
std::optional<double> ParseRadix(std::string_view digits, int radix) {
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    int digit;
    if (IsDigit(c)) {
      digit = c - '0';
    } else if (radix == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      digit = (c | 0x20) - 'a' + 10;
    } else {
      return std::nullopt;
    }
    if (digit >= radix) return std::nullopt;
    value = value * static_cast<uint64_t>(radix) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

// The first `significant` digits of `value` (> 0) as the engine rounds them,
// with the decimal exponent of the first digit.
void ScientificDigits(double value, int significant, std::string* digits, int* exponent) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, significant - 1);
  std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  size_t e = text.find('e');
  digits->clear();
  for (char c : text.substr(0, e)) {
    if (IsDigit(c)) digits->push_back(c);
  }
  *exponent = 0;
  std::string_view exponent_text = text.substr(e + 1);
  if (!exponent_text.empty() && exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), *exponent);
}

// True when `value` (> 0) is exactly a decimal of at most `significant`
// digits. Every double is a finite decimal of at most 767 digits.
bool IsShortDecimal(double value, int significant) {
  char buffer[1100];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 780);
  std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
  std::string_view mantissa = text.substr(0, text.find('e'));
  while (!mantissa.empty() && mantissa.back() == '0') mantissa.remove_suffix(1);
  size_t count = 0;
  for (char c : mantissa) count += IsDigit(c) ? 1 : 0;
  return count <= static_cast<size_t>(significant);
}

// Digits of `value` rounded to `precision` significant digits, without
// trailing zeros, and the decimal exponent of the first digit. A value
// exactly halfway between two such numbers rounds away from zero, as Basic
// shows it (654322.25 as a Single is "654322.3"); the engine would round it
// to even.
void SignificantDigits(double value, int precision, std::string* digits, int* exponent) {
  std::string longer;
  int longer_exponent = 0;
  ScientificDigits(value, precision + 1, &longer, &longer_exponent);
  if (longer.back() == '5' && IsShortDecimal(value, precision + 1)) {
    longer.pop_back();
    size_t at = longer.size();
    while (at > 0 && longer[at - 1] == '9') longer[--at] = '0';
    if (at == 0) {
      longer.insert(longer.begin(), '1');
      longer.pop_back();
      ++longer_exponent;
    } else {
      ++longer[at - 1];
    }
    *digits = std::move(longer);
    *exponent = longer_exponent;
  } else {
    ScientificDigits(value, precision, digits, exponent);
  }
  while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
}

// Basic shows a number in fixed notation when that needs no more digits than
// its precision (leading zeros after the point included), else as "1.5E+20".
std::string FormatFloating(double value, int precision) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // also -0
  std::string digits;
  int exponent = 0;
  SignificantDigits(std::fabs(value), precision, &digits, &exponent);
  int count = static_cast<int>(digits.size());
  std::string text = value < 0 ? "-" : "";
  if (exponent >= 0 && exponent + 1 <= precision) {
    int whole = exponent + 1;
    if (count <= whole) {
      text.append(digits).append(static_cast<size_t>(whole - count), '0');
    } else {
      text.append(digits, 0, static_cast<size_t>(whole)).append(".").append(digits, static_cast<size_t>(whole));
    }
  } else if (exponent < 0 && -exponent - 1 + count <= precision) {
    text.append("0.").append(static_cast<size_t>(-exponent - 1), '0').append(digits);
  } else {
    text.append(digits, 0, 1);
    if (count > 1) text.append(".").append(digits, 1);
    char exp_text[16];
    std::snprintf(exp_text, sizeof exp_text, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    text += exp_text;
  }
  return text;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  text = TrimBlanks(text);
  if (text.size() >= 2 && text[0] == '&') {
    char radix = static_cast<char>(text[1] | 0x20);
    if (radix == 'h') return ParseRadix(text.substr(2), 16);
    if (radix == 'o') return ParseRadix(text.substr(2), 8);
    return std::nullopt;
  }
  // Rebuild the number in the plain form from_chars reads: sign, digits,
  // point, digits, exponent; dropping "$" and group separators.
  std::string plain;
  size_t i = 0;
  bool negative = false;
  bool sign = false;
  bool dollar = false;
  while (i < text.size()) {
    if (!sign && (text[i] == '+' || text[i] == '-')) {
      sign = true;
      negative = text[i] == '-';
    } else if (!dollar && text[i] == '$') {
      dollar = true;
    } else {
      break;
    }
    ++i;
  }
  size_t digit_count = 0;
  while (i < text.size() && (IsDigit(text[i]) || (text[i] == ',' && digit_count > 0))) {
    if (text[i] != ',') {
      plain.push_back(text[i]);
      ++digit_count;
    }
    ++i;
  }
  if (i < text.size() && text[i] == '.') {
    plain.push_back('.');
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      plain.push_back(text[i++]);
      ++digit_count;
    }
  }
  if (digit_count == 0) return std::nullopt;
  bool negative_exponent = false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    plain.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative_exponent = text[i] == '-';
      plain.push_back(text[i++]);
    }
    size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
      plain.push_back(text[i++]);
      ++exponent_digits;
    }
    if (exponent_digits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (end != plain.data() + plain.size()) return std::nullopt;
  if (error == std::errc::result_out_of_range) {
    if (!negative_exponent) return std::nullopt;  // too large for a Double
    value = 0;                                    // too small: zero, as Basic reads it
  } else if (error != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::string FormatDouble(double value) { return FormatFloating(value, 15); }
std::string FormatSingle(float value) { return FormatFloating(static_cast<double>(value), 7); }

std::string FormatCurrency(int64_t ten_thousandths) {
  uint64_t magnitude = ten_thousandths < 0 ? 0 - static_cast<uint64_t>(ten_thousandths)
                                           : static_cast<uint64_t>(ten_thousandths);
  std::string text = ten_thousandths < 0 ? "-" : "";
  text += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

double RoundHalfEven(double value) {
  if (!std::isfinite(value)) return value;
  double floor = std::floor(value);
  double diff = value - floor;
  if (diff > 0.5) return floor + 1;
  if (diff < 0.5) return floor;
  return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace platform
