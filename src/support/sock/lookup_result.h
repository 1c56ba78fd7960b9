// What one lookup found, as the socket component's loop hands it over.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

struct LookupResult {
  bool ok = false;
  std::string name;                // official host name
  std::vector<int32_t> addresses;  // as dotted_address.h numbers
  int32_t error = 0;               // Winsock number when !ok
  std::string description;         // what went wrong when !ok
};

}  // namespace support
