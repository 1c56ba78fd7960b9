// The folder large files are moved to instead of being stored: the profile
// folder + "/lfiles".
#pragma once

#include <string>

namespace store {

std::string LargeFilesFolder();

}  // namespace store
