#include "platform/registry/value_buffer.h"

#include <cstring>

namespace platform::registry {

LONG CopyValueOut(DWORD stored_type, std::string_view stored, DWORD* type, BYTE* data, DWORD* data_size) {
  if (type != nullptr) *type = stored_type;
  LONG result = kErrorSuccess;
  if (data != nullptr) {
    if (*data_size < stored.size()) {
      result = kErrorMoreData;
    } else {
      if (!stored.empty()) std::memcpy(data, stored.data(), stored.size());
      // A string stored without its NUL still reads as a C string when the
      // buffer has room for one; the size reported stays the stored size.
      bool text = stored_type == kRegSz || stored_type == kRegExpandSz || stored_type == kRegMultiSz;
      if (text && *data_size > stored.size() && (stored.empty() || stored.back() != '\0')) {
        data[stored.size()] = 0;
      }
    }
  }
  if (data_size != nullptr) *data_size = static_cast<DWORD>(stored.size());
  return result;
}

}  // namespace platform::registry
