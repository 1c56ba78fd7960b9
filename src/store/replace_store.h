// Putting a rewritten store file in place of the old one in one atomic step,
// so that at every instant either the old or the new file is there.
#pragma once

#include <string>

namespace store {

// A fresh work-file path for the rewrite of `store` (the temporary folder).
std::string WorkFileFor(const std::string& store);

// Flushes `work` and renames it over `store` (across file systems: copies it
// beside `store`, flushes and renames). False, with `work` removed and
// `store` untouched, when that fails.
bool ReplaceStore(const std::string& work, const std::string& store);

}  // namespace store
