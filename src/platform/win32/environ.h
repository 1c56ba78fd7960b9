// Basic Environ(name): environment variables as the system sees them.
#pragma once

#include <string>
#include <string_view>

namespace platform::win32 {

// "temp" gives <root>/tmp and "windir" <root>/windows (names compared without
// regard to case, as Windows does). Every other name is looked up in the
// process environment as written (Linux names are case-sensitive); empty text
// when it is not set.
std::string Environ(std::string_view name);

}  // namespace platform::win32
