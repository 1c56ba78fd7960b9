// The ABI description of the code being compiled, as the entry point
// exchanges it.
//
// Every function here has internal linkage: each library and the service
// compute their own description. (An inline function with external linkage
// would be one symbol for the whole process; in a build without inlining a
// library would bind to the service's exported copy, report the service's
// description, and pass every check.)
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "hearth/plugin_abi.h"
#include "platform/basic/variant.h"
#include "platform/com/object_fwd.h"

namespace hearth {

static constexpr HearthPluginAbi ThisAbi() {
  return HearthPluginAbi{static_cast<uint32_t>(sizeof(HearthPluginAbi)), HEARTH_PLUGIN_ABI_VERSION,
                         static_cast<uint32_t>(sizeof(platform::Variant)),
                         static_cast<uint32_t>(sizeof(std::string)),
                         static_cast<uint32_t>(sizeof(platform::com::ObjectPtr))};
}

static constexpr bool SameAbi(const HearthPluginAbi& a, const HearthPluginAbi& b) {
  return a.size == b.size && a.version == b.version && a.variant_size == b.variant_size &&
         a.string_size == b.string_size && a.object_ptr_size == b.object_ptr_size;
}

// Whether the description at `given` is of the first layout (no size).
static inline bool IsFirstAbiLayout(const HearthPluginAbi* given) {
  uint32_t first = 0;
  std::memcpy(&first, given, sizeof first);
  return first < HEARTH_PLUGIN_ABI_MIN_SIZE;
}

// The description the other side wrote, in this side's layout: only its own
// bytes are read; fields it lacks stay 0.
static inline HearthPluginAbi ReadAbi(const HearthPluginAbi* given) {
  if (IsFirstAbiLayout(given)) {
    uint32_t words[4];
    std::memcpy(words, given, sizeof words);
    return HearthPluginAbi{HEARTH_PLUGIN_ABI_FIRST_LAYOUT_SIZE, words[0], words[1], words[2], words[3]};
  }
  HearthPluginAbi abi{};
  std::memcpy(&abi.size, given, sizeof abi.size);
  std::memcpy(&abi, given, abi.size < sizeof abi ? abi.size : sizeof abi);
  return abi;
}

// Writes `abi` into the buffer `out`, which the side that described itself
// as `reader` reads in its own layout and size.
static inline void WriteAbi(HearthPluginAbi* out, const HearthPluginAbi* reader, const HearthPluginAbi& abi) {
  if (IsFirstAbiLayout(reader)) {
    const uint32_t words[4] = {abi.version, abi.variant_size, abi.string_size, abi.object_ptr_size};
    std::memcpy(out, words, sizeof words);
    return;
  }
  uint32_t room = 0;
  std::memcpy(&room, reader, sizeof room);
  std::memcpy(out, &abi, room < sizeof abi ? room : sizeof abi);
}

}  // namespace hearth
