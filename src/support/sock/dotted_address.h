// The socket component's address object: IPv4 addresses between dotted text
// and 32-bit numbers. The number holds the first part in its top byte
// ("1.2.3.4" is 0x01020304).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace support {

// -1 when `text` is not four decimal parts 0..255 joined by dots (no
// spaces, signs, leading zeros, or other forms). "255.255.255.255" is -1 too: like the
// classic inet_addr, the broadcast address cannot be told from failure.
constexpr int32_t kInvalidAddress = -1;
int32_t TextToAddress(std::string_view text);

// "a.b.c.d" for any 32-bit number.
std::string AddressToText(int32_t address);

}  // namespace support
