// Reading secure logs from outside the service (hearthctl securelog): which
// logs a folder holds, and one log's entries and problems, without changing
// anything (no key is made, no mark is set).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

struct SecureLogInspection {
  std::string name;  // the log's name in lower case
  bool exists = false;
  std::vector<std::string> entries;  // every whole entry, oldest first
  uint64_t read = 0;                 // the oldest `read` entries are marked read
  std::vector<std::string> problems;  // empty when the log verifies
};

// The names (lower case) of the logs in the folder, sorted.
std::vector<std::string> SecureLogNames(const std::string& folder);

// `key_path` empty: the machine key. A missing key makes the log
// unverifiable (one problem) but it is still read.
SecureLogInspection InspectSecureLog(const std::string& folder, const std::string& name,
                                     const std::string& key_path = {});

}  // namespace support
