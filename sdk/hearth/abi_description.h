// The ABI description of the code being compiled, as the entry point
// exchanges it.
#pragma once

#include <string>

#include "hearth/plugin_abi.h"
#include "platform/basic/variant.h"
#include "platform/com/object_fwd.h"

namespace hearth {

inline HearthPluginAbi ThisAbi() {
  return HearthPluginAbi{HEARTH_PLUGIN_ABI_VERSION, static_cast<uint32_t>(sizeof(platform::Variant)),
                         static_cast<uint32_t>(sizeof(std::string)),
                         static_cast<uint32_t>(sizeof(platform::com::ObjectPtr))};
}

inline bool SameAbi(const HearthPluginAbi& a, const HearthPluginAbi& b) {
  return a.version == b.version && a.variant_size == b.variant_size && a.string_size == b.string_size &&
         a.object_ptr_size == b.object_ptr_size;
}

}  // namespace hearth
