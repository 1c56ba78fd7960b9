// Windows file attribute bits as this system sees them on Linux.
//   kReadOnly   the file has no write permission bit at all
//   kHidden     the name starts with "."
//   kDirectory  a folder
// kSystem, kVolume and kArchive never occur; SetFileAttributes ignores them.
#pragma once

#include <cstdint>
#include <string>

namespace platform::fs {

// The Basic vb* attribute values.
inline constexpr int32_t kNormal = 0;
inline constexpr int32_t kReadOnly = 1;
inline constexpr int32_t kHidden = 2;
inline constexpr int32_t kSystem = 4;
inline constexpr int32_t kVolume = 8;
inline constexpr int32_t kDirectory = 16;
inline constexpr int32_t kArchive = 32;

// Result of FileAttributes for a path that does not exist.
inline constexpr int32_t kInvalidAttributes = -1;

// The attribute bits of a file or folder, or kInvalidAttributes.
int32_t FileAttributes(const std::string& path);

// Applies the read-only bit: set removes every write permission bit, clear
// gives the owner write permission back. The other bits cannot be changed on
// Linux and are ignored (hidden is part of the name). False when the path does
// not exist or the change is refused.
bool SetFileAttributes(const std::string& path, int32_t attributes);

}  // namespace platform::fs
