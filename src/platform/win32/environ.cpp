#include "platform/win32/environ.h"

#include <cstdlib>
#include <strings.h>

#include "platform/fs/folders.h"

namespace platform::win32 {
namespace {

bool SameName(std::string_view a, const char* b) {
  return a.size() == std::char_traits<char>::length(b) && ::strncasecmp(a.data(), b, a.size()) == 0;
}

}  // namespace

std::string Environ(std::string_view name) {
  if (SameName(name, "temp")) return fs::TempFolder();
  if (SameName(name, "windir")) return fs::WindowsFolder();
  std::string key(name);
  if (key.empty() || key.find('\0') != std::string::npos || key.find('=') != std::string::npos) return {};
  const char* value = std::getenv(key.c_str());
  return value != nullptr ? value : std::string();
}

}  // namespace platform::win32
