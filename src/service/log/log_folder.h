// Where the system log lives, and the hook every log path passes through
// before it is created, moved or deleted.
#pragma once

#include <string>

namespace service {

// The log folder, created with its parents when missing.
std::string LogFolder();

// Hands a log path to the file service before the log touches it.
void PrepareLogPath(const std::string& path);

}  // namespace service
