// Directory listings with Basic `Dir` masks and attribute filters.
//
// Masks: "*" matches any run of characters (also none), "?" exactly one
// character (a whole UTF-8 sequence), anything else itself. "*.*" and the
// empty mask match every name, as on Windows. Unlike Windows, matching is
// case-sensitive, because Linux file names are: "*.exl" does not match
// "A.EXL".
//
// Attribute filters (bits of attributes.h): files are always included,
// read-only ones too; folders only with kDirectory; hidden entries (names
// starting with ".") only with kHidden. kSystem and kVolume select nothing
// more. "." and ".." are never listed. Names come back sorted byte-wise, so a
// listing is the same on every run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/attributes.h"

namespace platform::fs {

struct DirEntry {
  std::string name;     // the name alone, without the folder
  int32_t attributes;   // as FileAttributes gives them
};

// True when `name` matches the mask (rules above).
bool MatchesMask(std::string_view name, std::string_view mask);

// The entries of `folder` that match `mask` and pass the attribute filter.
// Empty when the folder does not exist or cannot be read.
std::vector<DirEntry> ListDirectory(const std::string& folder, std::string_view mask,
                                    int32_t attributes = kNormal);

// Basic Dir(pathname, attributes): the first match of pathname, whose last
// part may be a mask, name only; empty text when nothing matches or the
// folder does not exist. A pathname ending in "/" lists everything in that
// folder. The remaining matches are kept for this thread and handed out by
// Dir() one at a time.
std::string Dir(const std::string& pathname, int32_t attributes = kNormal);

// Basic Dir with no arguments: the next match of the last Dir(pathname) on
// this thread, empty text when there are no more. Raises Basic error 5
// (Invalid procedure call) when this thread has no listing yet.
std::string Dir();

}  // namespace platform::fs
