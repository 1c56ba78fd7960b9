// The messages of a system log file as the tests read them back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// The messages of the log file, in order, without the "[yyMMdd HH:mm:ss]
// [tick] " in front of each. A message runs to the CR LF before the next
// stamped line, so one holding a line break stays whole. Empty when the file
// is missing.
std::vector<std::string> LogFileMessages(const std::filesystem::path& file);

}  // namespace testing_support
