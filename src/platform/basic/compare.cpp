#include "platform/basic/compare.h"

#include <algorithm>
#include <cmath>

#include "platform/basic/err.h"
#include "platform/basic/object_value.h"

namespace platform {
namespace {

enum class Kind { kEmpty, kNumber, kText };

Kind KindOf(const Variant& value) {
  switch (value.vt()) {
    case VarType::kEmpty: return Kind::kEmpty;
    case VarType::kString: return Kind::kText;
    case VarType::kBoolean:
    case VarType::kDate:
      return Kind::kNumber;
    default:
      if (value.IsNumber()) return Kind::kNumber;
      RaiseError(kErrTypeMismatch, "", "Compare");  // arrays, error values
  }
}

template <class T>
CompareResult Order(T a, T b) {
  if (a < b) return CompareResult::kLess;
  if (b < a) return CompareResult::kGreater;
  return CompareResult::kEqual;
}

CompareResult CompareNumbers(const Variant& a, const Variant& b) {
  // Currency against Currency exactly; a Double would round large amounts.
  if (a.vt() == VarType::kCurrency && b.vt() == VarType::kCurrency) {
    return Order(a.CurrencyValue(), b.CurrencyValue());
  }
  double x = a.NumericValue();
  double y = b.NumericValue();
  // NaN cannot come from Basic code; it equals nothing and sorts last.
  if (std::isnan(x) || std::isnan(y)) {
    if (std::isnan(x) && std::isnan(y)) return CompareResult::kGreater;
    return std::isnan(x) ? CompareResult::kGreater : CompareResult::kLess;
  }
  return Order(x, y);
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int StrComp(std::string_view a, std::string_view b, CompareMode mode) {
  if (mode == CompareMode::kBinary) {
    int result = a.compare(b);
    return (result > 0) - (result < 0);
  }
  size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    auto x = static_cast<unsigned char>(FoldCase(a[i]));
    auto y = static_cast<unsigned char>(FoldCase(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return (a.size() > b.size()) - (a.size() < b.size());
}

bool TextEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StrComp(a, b, CompareMode::kText) == 0;
}

CompareResult VarCompare(const Variant& a_input, const Variant& b_input, CompareMode mode) {
  Variant a_storage, b_storage;
  const Variant& a = ResolveObjectValue(a_input, a_storage);
  const Variant& b = ResolveObjectValue(b_input, b_storage);
  if (a.IsNull() || b.IsNull()) return CompareResult::kNull;
  Kind ka = KindOf(a);
  Kind kb = KindOf(b);
  if (ka == Kind::kEmpty && kb == Kind::kEmpty) return CompareResult::kEqual;
  if (ka == Kind::kText || kb == Kind::kText) {
    // A number is less than any text; Empty stands for "".
    if (ka == Kind::kNumber) return CompareResult::kLess;
    if (kb == Kind::kNumber) return CompareResult::kGreater;
    std::string_view x = ka == Kind::kText ? std::string_view(a.StringValue()) : std::string_view();
    std::string_view y = kb == Kind::kText ? std::string_view(b.StringValue()) : std::string_view();
    switch (StrComp(x, y, mode)) {
      case -1: return CompareResult::kLess;
      case 0: return CompareResult::kEqual;
      default: return CompareResult::kGreater;
    }
  }
  return CompareNumbers(a, b);
}

Variant Compare(const Variant& a, const Variant& b, CompareMode mode) {
  CompareResult result = VarCompare(a, b, mode);
  if (result == CompareResult::kNull) return Variant::Null();
  return Variant(result == CompareResult::kEqual);
}

bool VarEquals(const Variant& a, const Variant& b, CompareMode mode) {
  return VarCompare(a, b, mode) == CompareResult::kEqual;
}

}  // namespace platform
