// The 4-byte checksum after a settings file's data: the bytes (0 to 255)
// summed into a signed 32-bit number; an addition that would overflow sets
// the sum to 0 instead (that byte is not counted) and the summing goes on.
#pragma once

#include <cstdint>
#include <span>

namespace settings {

void AddToChecksum(int32_t& sum, uint8_t byte);

// The checksum of all the bytes.
int32_t Checksum(std::span<const uint8_t> bytes);

}  // namespace settings
