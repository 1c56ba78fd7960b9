// Registry key paths of backup and playback.
#pragma once

#include <string>

#include "platform/registry/registry_types.h"

namespace store {

// KeyName + suffix, where the suffix is empty or "\" + a relative path; an
// empty KeyName gives the relative path alone.
std::string JoinKeyPath(const std::string& key_name, const std::string& suffix);

// True for the predefined root keys, the only roots a stored key is put back
// under.
bool IsPredefinedRoot(int32_t root);

}  // namespace store
