// How key and value names compare: ASCII letters without regard to case, every
// other byte as it is. The folded form is what the hive indexes and sorts by.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

// Upper-cases ASCII letters into `folded` (reusing its storage).
void FoldName(std::string_view name, std::string* folded);

// Splits a subkey path at "\" into `parts`. False for a path that starts with
// "\", holds an empty component or a component longer than 255 bytes; one
// trailing "\" is ignored and "" gives no parts.
bool SplitSubKey(std::string_view path, std::vector<std::string_view>* parts);

}  // namespace platform::registry
