#include "store/large_files.h"

#include "platform/fs/folders.h"
#include "settings/folders/folders.h"

namespace store {

std::string LargeFilesFolder() { return platform::fs::JoinPath(settings::GetProfileFolder(), "lfiles"); }

}  // namespace store
