// Small file helpers that never fail towards their caller.
#pragma once

#include <cstdint>
#include <string>

#include "platform/fs/attributes.h"

namespace settings {

// Deletes the file; any error is ignored and the pending error is cleared.
void KillFileQuietly(const std::string& path);

// The first match of the directory query (Basic Dir with the attribute
// filter), or empty text on any error.
std::string SafeDir(const std::string& path, int32_t attributes = platform::fs::kNormal);

}  // namespace settings
