// Creating folders quietly: failures are silent and a later write into the
// folder then fails in its caller.
#pragma once

#include <string>

namespace settings {

// Builds the path up part by part, creating every part that is not a folder
// yet.
void MakeFolderTree(const std::string& path);

// Creates one folder level unless a file of that name exists; the path is
// handed to the file service first. An existing folder is left alone.
void EnsureFolder(const std::string& path);

}  // namespace settings
