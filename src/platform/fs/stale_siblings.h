// Work files (".NAME.tmp-PID-N", temp_sibling.h) left behind by a writer that
// was killed before it could rename or remove them. Each crash during a write
// would leave one more; they are removed once their process is gone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::fs {

// The process id in a work file's name; 0 when the name is no work file's.
long WorkFileOwner(std::string_view name);

// Removes the work files in `folder` whose process no longer exists (never
// this process's own). Returns how many went.
size_t SweepStaleSiblings(const std::string& folder);

// The same, unless this process swept `folder` in the last few seconds:
// writers call it each time, and a folder written in bulk is read once.
void SweepStaleSiblingsNowAndThen(const std::string& folder);

}  // namespace platform::fs
