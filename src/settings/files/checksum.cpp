#include "settings/files/checksum.h"

#include <algorithm>
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
  std::size_t at = 0;
  while (at < bytes.size()) {
    // As many bytes as surely fit are summed without the overflow test (a
    // loop the compiler vectorises); near the limit, byte by byte.
    const std::size_t fit = static_cast<std::size_t>(std::numeric_limits<int32_t>::max() - sum) / 255;
    if (fit == 0) {
      AddToChecksum(sum, bytes[at++]);
      continue;
    }
    const std::size_t end = at + std::min(fit, bytes.size() - at);
    uint32_t block = 0;
    for (; at < end; ++at) block += bytes[at];
    sum += static_cast<int32_t>(block);
  }
  return sum;
}

}  // namespace settings
