// Basic's small text helpers. Texts are UTF-8; letter case is folded for
// ASCII letters only, and positions count bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"

namespace platform {

std::string LCase(std::string_view text);
std::string UCase(std::string_view text);
// Remove spaces (only spaces, as Basic does) from both ends / the left / the right.
std::string Trim(std::string_view text);
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);
// The part of text that Trim keeps, without copying it.
std::string_view TrimmedView(std::string_view text);

// Left(text, n), Right(text, n) and Mid(text, start[, length]) with Basic's
// 1-based start; lengths past the end are cut, never an error. A start below
// 1 or a negative length raises 5, as in Basic.
std::string Left(std::string_view text, int64_t length);
std::string Right(std::string_view text, int64_t length);
std::string Mid(std::string_view text, int64_t start);
std::string Mid(std::string_view text, int64_t start, int64_t length);

// Hex in upper case without leading zeros; a negative number is shown in
// two's complement (Hex(-1) is "FFFFFFFF").
std::string Hex(int32_t value);
std::string Hex(uint32_t value);
// Hex of a Variant: rounded to a whole number first; a negative Integer
// shows 4 digits ("FFFF"), Empty is "0", Null raises 94.
std::string Hex(const Variant& value);

}  // namespace platform
