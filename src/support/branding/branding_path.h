// Lookup paths of the branding resolver as XPath relative to a configuration
// element: the path macro "{%strings%}" (any letter case) becomes the string
// table "strings", a leading "/" is dropped ("/features" is the top-level
// fragment) and a leading "//" searches below the element (".//").
#pragma once

#include <string>
#include <string_view>

namespace support {

inline constexpr std::string_view kStringsMacro = "{%strings%}";
inline constexpr std::string_view kStringTable = "strings";

std::string BrandingXPath(std::string_view path);

}  // namespace support
