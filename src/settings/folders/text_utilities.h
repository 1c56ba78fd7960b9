// Small text helpers for values read from files, the registry and buffers.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// Removes every character with a code below 33 (controls and the blank) from
// the start and from the end.
std::string TrimControlChars(std::string_view text);

// The part before the first NUL, trimmed of spaces (empty when the NUL comes
// first); a text without NUL comes back trimmed.
std::string CutAtNul(std::string_view text);

}  // namespace settings
