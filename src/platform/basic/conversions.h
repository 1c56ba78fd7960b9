// Basic's conversion functions and type tests over Variants.
//
// Every conversion raises through RaiseError as Basic does:
//   13 Type mismatch      text that is not a number (or date), arrays, errors
//   6  Overflow           a number outside the target's range
//   94 Invalid use of Null converting Null to anything but a Variant
//   91 / 438              Nothing / an object without a default value
// Empty converts to 0, "", False or the date serial 0.
//
// Numeric text is read with fixed en-US rules: blanks around, a sign, an
// optional "$", digits with "," group separators, "." decimals, an exponent
// ("1E5", "1D5"), and "&H"/"&O" hexadecimal and octal of up to 32 bits read
// as a signed Long ("&HFF" is 255, "&HFFFFFFFF" is -1). Booleans are numbers
// (True is -1).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"

namespace platform {

// Text form: numbers as Basic prints them, Booleans "True"/"False", dates in
// the general date form (see date_time.h), errors "Error N", a byte array
// its bytes as they are (texts are byte strings here).
std::string CStr(const Variant& value);
// Whole numbers round half to even ("5.5" -> 6, "6.5" -> 6).
int32_t CLng(const Variant& value);
int16_t CInt(const Variant& value);
uint8_t CByte(const Variant& value);
double CDbl(const Variant& value);
float CSng(const Variant& value);
// Ten-thousandths (Basic's Currency), rounded half to even at the 4th decimal.
int64_t CCur(const Variant& value);
// Numbers and dates: nonzero is True. Texts: "True"/"False" in any letter
// case, else a numeric text; anything else (also "") is a type mismatch.
bool CBool(const Variant& value);
// The date serial. Numbers are taken as serials; texts are read as dates
// (see ParseDate in date_time.h) or else as numbers. Outside 1 January 100
// to 31 December 9999 raises 6.
double CDate(const Variant& value);

// The value converted to the given type (kVariant: unchanged), as Basic
// assigns it to a variable of that type. A text converts to a byte array
// (ArrayOf(kByte)) byte for byte; other array, Empty and Null targets raise
// 13, kObject raises 424 for a non-object. Null converts only to kVariant.
Variant ConvertTo(const Variant& value, VarType type);

// IsNumeric: numbers, Booleans, Empty, and texts that read as numbers.
bool IsNumeric(const Variant& value);
// IsDate: dates, and texts that read as dates (not numbers or numeric text).
bool IsDate(const Variant& value);
inline bool IsNull(const Variant& value) { return value.IsNull(); }
inline bool IsEmpty(const Variant& value) { return value.IsEmpty(); }
inline bool IsObject(const Variant& value) { return value.IsObject(); }
inline bool IsArray(const Variant& value) { return value.IsArray(); }

// Reads numeric text by the rules above; nullopt when it is not a number.
std::optional<double> ParseNumber(std::string_view text);

// Basic's text form of a Double (15 significant digits) and a Single (7):
// "0.3", "1.5", "1E+20", "1.23456790123457E-02", "-0" printed as "0".
std::string FormatDouble(double value);
std::string FormatSingle(float value);
// A Currency amount: up to 4 decimals, no exponent ("1.5", "-0.0001").
std::string FormatCurrency(int64_t ten_thousandths);

// Banker's rounding to a whole number (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

}  // namespace platform
