// Turning a failed system call into the Basic error number Basic would raise.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

// ENOENT gives 53 (File not found) when the folder of `path` exists and 76
// (Path not found) when it does not; lock conflicts and refusals 70; too many
// open files 67; a full disk 61; a file
// that an exclusive create found 58; the rest 75 (Path/File access error).
int32_t BasicErrorFromErrno(int error, const std::string& path);

}  // namespace platform::fs
