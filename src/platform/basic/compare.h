// The "=" of Basic between two Variants, and text comparison.
//
// Rules (those of Basic for two Variant operands):
// - Null on either side gives Null (which is not True).
// - Numbers, Booleans and dates compare numerically across types (True = -1).
// - Texts compare as texts (binary, or without regard to case in text mode).
// - A number against a text is never equal: the number is the smaller.
// - Empty is 0 against a number and "" against a text; Empty = Empty.
// - Objects compare by their default value (through the object hooks);
//   without one they raise 438, Nothing raises 91. Arrays and error values
//   raise 13.
#pragma once

#include <string_view>

#include "platform/basic/variant.h"

namespace platform {

enum class CompareMode {
  kBinary,  // byte by byte (Option Compare Binary)
  kText,    // without regard to letter case (Option Compare Text)
};

enum class CompareResult { kLess, kEqual, kGreater, kNull };

// The order of a and b under the rules above.
CompareResult VarCompare(const Variant& a, const Variant& b, CompareMode mode = CompareMode::kBinary);

// a = b as a Variant: True, False, or Null when either side is Null.
Variant Compare(const Variant& a, const Variant& b, CompareMode mode = CompareMode::kBinary);

// a = b as a condition: Null counts as not equal.
bool VarEquals(const Variant& a, const Variant& b, CompareMode mode = CompareMode::kBinary);

// StrComp: -1, 0 or 1. Text mode folds ASCII letters only (texts are UTF-8
// and other characters compare as bytes).
int StrComp(std::string_view a, std::string_view b, CompareMode mode = CompareMode::kBinary);

// Equal without regard to ASCII letter case.
bool TextEquals(std::string_view a, std::string_view b);

}  // namespace platform
