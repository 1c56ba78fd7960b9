#include "settings/folders/array_utilities.h"

#include "platform/basic/conversions.h"
#include "settings/folders/ignore_errors.h"

namespace settings {

bool ByteArraysEqual(const platform::Variant& a, const platform::Variant& b) {
  bool equal = false;
  IgnoringErrors([&] {
    if (!a.IsArray() || !b.IsArray() || !a.IsAllocated() || !b.IsAllocated()) return;
    const int32_t lower = a.LowerBound();
    const int32_t upper = a.UpperBound();
    if (lower != b.LowerBound() || upper != b.UpperBound()) return;
    if (a.IsByteArray() && b.IsByteArray()) {
      equal = a.Bytes() == b.Bytes();
      return;
    }
    // Arrays of other types compare as the bytes their elements convert to.
    for (int32_t i = lower; i <= upper; ++i) {
      if (platform::CByte(a.Element(i)) != platform::CByte(b.Element(i))) return;
    }
    equal = true;
  });
  return equal;
}

int32_t SafeUpperBound(const platform::Variant& array) {
  int32_t upper = -1;
  IgnoringErrors([&] {
    if (array.IsArray() && array.IsAllocated()) upper = array.UpperBound();
  });
  return upper;
}

}  // namespace settings
