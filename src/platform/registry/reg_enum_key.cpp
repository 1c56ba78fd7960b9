#include "platform/registry/hive_access.h"
#include "platform/registry/name_buffer.h"
#include "platform/registry/registry.h"

namespace platform::registry {

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* name_size, DWORD* reserved, char* class_name,
                   DWORD* class_size, FILETIME* last_write_time) {
  if (name == nullptr || name_size == nullptr || reserved != nullptr) return kErrorInvalidParameter;
  if (class_name != nullptr && class_size == nullptr) return kErrorInvalidParameter;
  return WithHive("RegEnumKeyExA", [&](Hive& hive) {
    const SubkeyRow* row = nullptr;
    LONG result = hive.EnumKey(key, index, &row);
    if (result != kErrorSuccess) return result;
    result = CopyNameOut(row->name, name, name_size);
    if (result != kErrorSuccess) return result;
    if (class_name != nullptr) {
      result = CopyNameOut(row->key_class, class_name, class_size);
      if (result != kErrorSuccess) return result;
    } else if (class_size != nullptr) {
      *class_size = static_cast<DWORD>(row->key_class.size());
    }
    if (last_write_time != nullptr) {
      auto ticks = static_cast<uint64_t>(row->created);
      last_write_time->dwLowDateTime = static_cast<DWORD>(ticks);
      last_write_time->dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    }
    return kErrorSuccess;
  });
}

}  // namespace platform::registry
