// Small helpers for Basic arrays held in variants.
#pragma once

#include <cstdint>

#include "platform/basic/variant.h"

namespace settings {

// True when both are arrays with the same lower and upper bounds and equal
// bytes at every index. Anything that is not an allocated array gives False.
bool ByteArraysEqual(const platform::Variant& a, const platform::Variant& b);

// The upper bound of a one-dimensional array; -1 when the value is no array
// or the array is not allocated.
int32_t SafeUpperBound(const platform::Variant& array);

}  // namespace settings
