// GetShortPathNameA. Linux has no short (8.3) names: the short path of an
// existing path is the path itself.
#pragma once

#include <cstdint>
#include <string>

namespace platform::win32 {

// As on Windows: 0 when the path does not exist (or is null/empty); when the
// buffer holds the path and its NUL, copies them and returns the length
// without the NUL; otherwise copies nothing and returns the size needed,
// NUL included. `buffer` may be null when `buffer_length` is 0.
uint32_t GetShortPathNameA(const char* long_path, char* buffer, uint32_t buffer_length);

// The same as a string: the path itself, or empty when it does not exist.
std::string ShortPathName(const std::string& long_path);

}  // namespace platform::win32
