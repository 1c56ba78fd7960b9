// The Win32 protocol of value data returned into a caller's buffer.
#pragma once

#include <string_view>

#include "platform/registry/registry_types.h"

namespace platform::registry {

// Fills the optional `type`; with `data`, copies the bytes when `*data_size`
// is large enough and returns kErrorMoreData otherwise; `*data_size` (when
// given) receives the value's size either way. A REG_SZ, REG_EXPAND_SZ or
// REG_MULTI_SZ stored without a terminating NUL gets one written after the
// data when the buffer has room.
LONG CopyValueOut(DWORD stored_type, std::string_view stored, DWORD* type, BYTE* data, DWORD* data_size);

}  // namespace platform::registry
