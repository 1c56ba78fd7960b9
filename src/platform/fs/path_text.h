// Small path-text helpers of this folder.
#pragma once

#include <string>
#include <string_view>

namespace platform::fs {

// False for paths no system call should see: empty, or holding a NUL byte.
bool IsUsablePath(std::string_view path);

// The folder part of a path ("." when there is none, "/" for "/name").
std::string FolderOf(std::string_view path);

// The last part of a path (after the last "/").
std::string_view NameOf(std::string_view path);

}  // namespace platform::fs
