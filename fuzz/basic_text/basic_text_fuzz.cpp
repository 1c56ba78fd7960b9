// Outside text through the Basic runtime's readers of numbers and dates, and
// the conversions callers apply to any text they are handed.
//
// Besides "no crash", what must hold:
//   - a conversion returns or raises a BasicError (type mismatch, overflow),
//     nothing else;
//   - IsNumeric and ParseNumber agree, and a text IsNumeric accepts converts
//     with CDbl to ParseNumber's value without raising;
//   - a text IsDate accepts converts with CDate without raising, to a valid
//     date; the date's general text form reads back to the same second.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"

namespace {

using platform::Variant;

// Runs a conversion; true when it returned. Anything but a BasicError of the
// conversion's own kinds is a fault.
template <class F>
bool Converts(F&& convert) {
  try {
    convert();
    return true;
  } catch (const platform::BasicError& error) {
    if (error.number() != platform::kErrTypeMismatch && error.number() != platform::kErrOverflow) __builtin_trap();
    return false;
  }
}

bool SameSecond(double a, double b) { return std::fabs(a - b) * 86400.0 < 0.5; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Variant value(text);

  const std::optional<double> number = platform::ParseNumber(text);
  if (platform::IsNumeric(value) != number.has_value()) __builtin_trap();
  if (number) {
    double converted = 0;
    if (!Converts([&] { converted = platform::CDbl(value); })) __builtin_trap();
    if (!(converted == *number || (std::isnan(converted) && std::isnan(*number)))) __builtin_trap();
    // Basic's printed form of the number reads back as a number.
    if (std::isfinite(*number) && !platform::ParseNumber(platform::FormatDouble(*number))) __builtin_trap();
  }

  const std::optional<double> date = platform::ParseDate(text);
  if (platform::IsDate(value) != date.has_value()) __builtin_trap();
  if (date) {
    if (!platform::IsValidDateSerial(*date)) __builtin_trap();
    double converted = 0;
    if (!Converts([&] { converted = platform::CDate(value); })) __builtin_trap();
    if (converted != *date) __builtin_trap();
    const std::optional<double> again = platform::ParseDate(platform::FormatGeneralDate(*date));
    if (!again || !SameSecond(*again, *date)) __builtin_trap();
  }

  Converts([&] { (void)platform::CLng(value); });
  Converts([&] { (void)platform::CInt(value); });
  Converts([&] { (void)platform::CByte(value); });
  Converts([&] { (void)platform::CSng(value); });
  Converts([&] { (void)platform::CCur(value); });
  Converts([&] { (void)platform::CBool(value); });
  Converts([&] { (void)platform::CDate(value); });
  Converts([&] { (void)platform::CStr(value); });
  return 0;
}
