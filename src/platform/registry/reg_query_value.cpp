#include "platform/registry/hive_access.h"
#include "platform/registry/registry.h"
#include "platform/registry/value_buffer.h"

namespace platform::registry {

LONG RegQueryValueExA(HKEY key, const char* value_name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* data_size) {
  if (reserved != nullptr || (data != nullptr && data_size == nullptr)) return kErrorInvalidParameter;
  return WithHive("RegQueryValueExA", [&](Hive& hive) {
    DWORD stored_type = 0;
    std::string_view stored;
    LONG result = hive.QueryValue(key, value_name == nullptr ? "" : value_name, &stored_type, &stored);
    if (result != kErrorSuccess) {
      // A caller asking only for the size learns there is nothing.
      if (result == kErrorFileNotFound && data == nullptr && data_size != nullptr) *data_size = 0;
      return result;
    }
    return CopyValueOut(stored_type, stored, type, data, data_size);
  });
}

}  // namespace platform::registry
