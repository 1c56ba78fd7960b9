#include "platform/registry/hive_access.h"
#include "platform/registry/name_buffer.h"
#include "platform/registry/registry.h"
#include "platform/registry/value_buffer.h"

namespace platform::registry {

LONG RegEnumValueA(HKEY key, DWORD index, char* value_name, DWORD* value_name_size, DWORD* reserved, DWORD* type,
                   BYTE* data, DWORD* data_size) {
  if (value_name == nullptr || value_name_size == nullptr || reserved != nullptr) return kErrorInvalidParameter;
  if (data != nullptr && data_size == nullptr) return kErrorInvalidParameter;
  return WithHive("RegEnumValueA", [&](Hive& hive) {
    const ValueRow* row = nullptr;
    LONG result = hive.EnumValue(key, index, &row);
    if (result != kErrorSuccess) return result;
    result = CopyNameOut(row->name, value_name, value_name_size);
    if (result != kErrorSuccess) {
      // Still tell the sizes, so one retry with both buffers grown succeeds.
      CopyValueOut(row->type, row->data, type, nullptr, data_size);
      return result;
    }
    return CopyValueOut(row->type, row->data, type, data, data_size);
  });
}

}  // namespace platform::registry
