// Names read from a store file must not lead outside the folder their entry
// names: no "..", no absolute paths, no empty parts.
#pragma once

#include <string>

namespace store {

// A FileName: one plain name, not "." or "..", without "/" or NUL.
bool IsSafeFileName(const std::string& name);

// A RelPath: empty, or relative parts each a safe name, ending in "/".
bool IsSafeRelPath(const std::string& path);

// A BasePath put below a restore root: absolute, without "." or ".." parts.
bool IsSafeBasePath(const std::string& path);

}  // namespace store
