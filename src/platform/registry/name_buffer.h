// The Win32 protocol of a name returned into a caller's buffer.
#pragma once

#include <string_view>

#include "platform/registry/registry_types.h"

namespace platform::registry {

// Copies `name` and a NUL into `buffer` of `*size` bytes and sets `*size` to
// the length; when it does not fit, sets `*size` to the size needed (NUL
// included) and returns kErrorMoreData.
LONG CopyNameOut(std::string_view name, char* buffer, DWORD* size);

}  // namespace platform::registry
