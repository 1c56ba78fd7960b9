#include "settings/folders/short_path.h"

#include "platform/win32/short_path.h"

namespace settings {

std::string GetShortPath(const std::string& path) {
  constexpr uint32_t kBufferLength = 1024;
  char buffer[kBufferLength] = {};
  const uint32_t length = platform::win32::GetShortPathNameA(path.c_str(), buffer, kBufferLength);
  // A result longer than the buffer is the size it would need, not text.
  if (length == 0 || length >= kBufferLength) return {};
  return std::string(buffer, length);
}

}  // namespace settings
