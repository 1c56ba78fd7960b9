// The one rule every writer of a setting passes: a value or a name that no
// snapshot could hold is refused at the write, so a collection always stays
// storable. (One unstorable entry would make every later store of the whole
// collection fail, the one at stop included, and lose every change.)
//
//   const std::string why = settings::WhyUnstorable(name, value);
//   if (!why.empty()) refuse(why);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/basic/variant.h"

namespace settings {

// The error cSettings raises for such a write ("Invalid property value"),
// with the reason as its description.
inline constexpr int32_t kErrUnstorableSetting = 380;

// The name a setting is kept under: lower case, with the namespace put before
// a name that has no dot.
std::string StoredSettingName(std::string_view name_space, std::string_view setting);

// Why no snapshot could hold `value` under the kept name `stored_name`; the
// empty text when one can. Transient ("tmp.") names are never stored, so they
// may hold anything.
std::string WhyUnstorable(std::string_view stored_name, const platform::Variant& value);

// A namespace as the collection keeps it: lower case, ending in "." (the
// empty text becomes ".").
std::string KeptNamespace(std::string_view given);

// Why `name_space` (as KeptNamespace gives it)
// could not prefix a stored name; the empty text when it can. "." (what an
// empty namespace becomes) is accepted: names under it are judged one by one.
std::string WhyNoNamespace(std::string_view name_space);

}  // namespace settings
