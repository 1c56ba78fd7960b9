// The value an object reference stands for in an expression: Basic reads an
// object's default member wherever a plain value is wanted (CStr(obj),
// obj = 5). The object model supplies default members through ObjectHooks.
#pragma once

#include "platform/basic/variant.h"

namespace platform {

// `value` itself when it is not an object; otherwise the object's default
// value, kept in `storage`. Nothing raises 91; an object without a default
// value (or with no hooks installed) raises 438.
const Variant& ResolveObjectValue(const Variant& value, Variant& storage);

}  // namespace platform
