#include "support/branding/branding_path.h"

#include "support/branding/macro_table.h"

namespace support {

std::string BrandingXPath(std::string_view path) {
  MacroTable path_macros;
  path_macros.Set(kStringsMacro, std::string(kStringTable));
  std::string xpath = path_macros.Expand(path);
  if (xpath.starts_with("//")) return "." + xpath;
  if (xpath.starts_with("/")) xpath.erase(0, 1);
  return xpath;
}

}  // namespace support
