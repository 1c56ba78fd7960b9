// The short form of a path (GetShortPathNameA with a 1024-character buffer).
#pragma once

#include <string>

namespace settings {

// The short path; empty text when the query fails (a missing path, or one
// that does not fit the buffer).
std::string GetShortPath(const std::string& path);

}  // namespace settings
