// Whether a path is the machine root in force, for callers that check it on
// every call: unlike comparing with MachineRoot() it makes no copy.
#pragma once

#include <filesystem>

namespace platform {

// MachineRoot() == root, compared as text.
bool IsMachineRoot(const std::filesystem::path& root);

}  // namespace platform
