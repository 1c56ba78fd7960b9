#include "platform/win32/short_path.h"

#include <cstring>

#include "platform/fs/file_ops.h"

namespace platform::win32 {

uint32_t GetShortPathNameA(const char* long_path, char* buffer, uint32_t buffer_length) {
  if (long_path == nullptr || *long_path == '\0' || !fs::PathExists(long_path)) return 0;
  size_t length = std::strlen(long_path);
  if (length >= 0xFFFFFFFFu) return 0;
  if (buffer == nullptr || buffer_length < length + 1) return static_cast<uint32_t>(length + 1);
  // Copying onto itself is allowed on Windows (the same buffer in and out).
  std::memmove(buffer, long_path, length + 1);
  return static_cast<uint32_t>(length);
}

std::string ShortPathName(const std::string& long_path) {
  if (long_path.find('\0') != std::string::npos) return {};
  return fs::PathExists(long_path) ? long_path : std::string();
}

}  // namespace platform::win32
