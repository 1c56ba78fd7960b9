#include "settings/files/checksum.h"

#include <limits>

namespace settings {

void AddToChecksum(int32_t& sum, uint8_t byte) {
  if (sum > std::numeric_limits<int32_t>::max() - byte) {
    sum = 0;
  } else {
    sum += byte;
  }
}

int32_t Checksum(std::span<const uint8_t> bytes) {
  int32_t sum = 0;
  for (uint8_t byte : bytes) AddToChecksum(sum, byte);
  return sum;
}

}  // namespace settings
