#include "platform/registry/name_buffer.h"

#include <cstring>

namespace platform::registry {

LONG CopyNameOut(std::string_view name, char* buffer, DWORD* size) {
  if (name.size() >= *size) {
    *size = static_cast<DWORD>(name.size() + 1);
    return kErrorMoreData;
  }
  std::memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = '\0';
  *size = static_cast<DWORD>(name.size());
  return kErrorSuccess;
}

}  // namespace platform::registry
