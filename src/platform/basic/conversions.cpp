#include "platform/basic/conversions.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/basic/compare.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/basic/object_value.h"

namespace platform {
namespace {

// The number a value stands for, as the numeric conversions read it.
double NumberOf(const Variant& input, std::string_view source) {
  Variant storage;
  const Variant& value = ResolveObjectValue(input, storage);
  switch (value.vt()) {
    case VarType::kNull: RaiseError(kErrInvalidUseOfNull, "", source);
    case VarType::kString: {
      std::optional<double> number = ParseNumber(value.StringValue());
      if (!number) RaiseError(kErrTypeMismatch, "", source);
      return *number;
    }
    case VarType::kEmpty:
    case VarType::kBoolean:
    case VarType::kDate:
      return value.NumericValue();
    default:
      if (!value.IsNumber()) RaiseError(kErrTypeMismatch, "", source);
      return value.NumericValue();
  }
}

// Rounds half to even and checks the range of a whole-number type.
template <class T>
T WholeNumber(const Variant& value, std::string_view source) {
  double number = RoundHalfEven(NumberOf(value, source));
  if (!(number >= static_cast<double>(std::numeric_limits<T>::min()) &&
        number <= static_cast<double>(std::numeric_limits<T>::max()))) {
    RaiseError(kErrOverflow, "", source);
  }
  return static_cast<T>(number);
}

double CheckedDate(double serial) {
  if (!IsValidDateSerial(serial)) RaiseError(kErrOverflow, "", "CDate");
  return serial;
}

bool IsTrueText(std::string_view text) { return TextEquals(text, "True"); }
bool IsFalseText(std::string_view text) { return TextEquals(text, "False"); }

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string CStr(const Variant& input) {
  Variant storage;
  const Variant& value = ResolveObjectValue(input, storage);
  switch (value.vt()) {
    case VarType::kEmpty: return "";
    case VarType::kNull: RaiseError(kErrInvalidUseOfNull, "", "CStr");
    case VarType::kBoolean: return value.BoolValue() ? "True" : "False";
    case VarType::kByte: return std::to_string(value.ByteValue());
    case VarType::kInteger: return std::to_string(value.IntegerValue());
    case VarType::kLong: return std::to_string(value.LongValue());
    case VarType::kSingle: return FormatSingle(value.SingleValue());
    case VarType::kDouble: return FormatDouble(value.DoubleValue());
    case VarType::kCurrency: return FormatCurrency(value.CurrencyValue());
    case VarType::kDate: return FormatGeneralDate(value.DateValue());
    case VarType::kString: return value.StringValue();
    case VarType::kError: return "Error " + std::to_string(value.ErrorValue());
    default: break;
  }
  if (value.IsByteArray()) {
    const std::vector<uint8_t>& bytes = value.Bytes();
    return std::string(bytes.begin(), bytes.end());
  }
  RaiseError(kErrTypeMismatch, "", "CStr");
}

int32_t CLng(const Variant& value) { return WholeNumber<int32_t>(value, "CLng"); }
int16_t CInt(const Variant& value) { return WholeNumber<int16_t>(value, "CInt"); }
uint8_t CByte(const Variant& value) { return WholeNumber<uint8_t>(value, "CByte"); }

double CDbl(const Variant& value) { return NumberOf(value, "CDbl"); }

float CSng(const Variant& value) {
  double number = NumberOf(value, "CSng");
  float single = static_cast<float>(number);
  if (std::isinf(single) && !std::isinf(number)) RaiseError(kErrOverflow, "", "CSng");
  return single;
}

int64_t CCur(const Variant& value) {
  if (value.vt() == VarType::kCurrency) return value.CurrencyValue();
  double scaled = RoundHalfEven(NumberOf(value, "CCur") * 10000.0);
  // 2^63 is exactly representable; anything at or past it does not fit.
  if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0)) RaiseError(kErrOverflow, "", "CCur");
  return static_cast<int64_t>(scaled);
}

bool CBool(const Variant& input) {
  Variant storage;
  const Variant& value = ResolveObjectValue(input, storage);
  if (value.IsString()) {
    std::string_view text = TrimSpaces(value.StringValue());
    if (IsTrueText(text)) return true;
    if (IsFalseText(text)) return false;
    std::optional<double> number = ParseNumber(text);
    if (!number) RaiseError(kErrTypeMismatch, "", "CBool");
    return *number != 0;
  }
  return NumberOf(value, "CBool") != 0;
}

double CDate(const Variant& input) {
  Variant storage;
  const Variant& value = ResolveObjectValue(input, storage);
  if (value.IsDate()) return value.DateValue();
  if (value.IsString()) {
    if (std::optional<double> date = ParseDate(value.StringValue())) return *date;
  }
  return CheckedDate(NumberOf(value, "CDate"));
}

Variant ConvertTo(const Variant& value, VarType type) {
  if (type == VarType::kVariant || value.vt() == type) return value;
  if (value.IsNull()) RaiseError(kErrInvalidUseOfNull, "", "ConvertTo");
  switch (type) {
    case VarType::kBoolean: return Variant(CBool(value));
    case VarType::kByte: return Variant(CByte(value));
    case VarType::kInteger: return Variant(CInt(value));
    case VarType::kLong: return Variant(CLng(value));
    case VarType::kSingle: return Variant(CSng(value));
    case VarType::kDouble: return Variant(CDbl(value));
    case VarType::kCurrency: return Variant::Currency(CCur(value));
    case VarType::kDate: return Variant::Date(CDate(value));
    case VarType::kString: return Variant(CStr(value));
    case VarType::kObject: RaiseError(kErrObjectRequired, "", "ConvertTo");
    default: break;
  }
  if (type == ArrayOf(VarType::kByte) && value.IsString()) return Variant::ByteArray(std::string_view(value.StringValue()));
  RaiseError(kErrTypeMismatch, "", "ConvertTo");
}

bool IsNumeric(const Variant& input) {
  if (input.IsObject()) {
    // An object is numeric when its default value is; the caller's pending
    // error state is left alone either way.
    try {
      Variant storage;
      return IsNumeric(ResolveObjectValue(input, storage));
    } catch (const BasicError&) {
      return false;
    }
  }
  const Variant& value = input;
  switch (value.vt()) {
    case VarType::kEmpty:
    case VarType::kBoolean:
      return true;
    case VarType::kString:
      return ParseNumber(value.StringValue()).has_value();
    default:
      return value.IsNumber();
  }
}

bool IsDate(const Variant& value) {
  if (value.IsDate()) return true;
  return value.IsString() && ParseDate(value.StringValue()).has_value();
}

}  // namespace platform
