#include "support/sock/dotted_address.h"

namespace contracts {

int32_t TextToAddress(std::string_view text) {
  uint32_t value = 0;
  int parts = 0;
  size_t at = 0;
  while (parts < 4) {
    size_t digits = 0;
    uint32_t part = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
      part = part * 10 + static_cast<uint32_t>(text[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0 || digits > 3 || part > 255) return kInvalidAddress;
    // "010" would be octal to some readers and decimal to others: refuse it.
    if (digits > 1 && text[at - digits] == '0') return kInvalidAddress;
    value = (value << 8) | part;
    ++parts;
    if (parts < 4) {
      if (at >= text.size() || text[at] != '.') return kInvalidAddress;
      ++at;
    }
  }
  if (at != text.size()) return kInvalidAddress;
  return static_cast<int32_t>(value);
}

std::string AddressToText(int32_t address) {
  const auto value = static_cast<uint32_t>(address);
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xff) + "." +
         std::to_string((value >> 8) & 0xff) + "." + std::to_string(value & 0xff);
}

}  // namespace contracts
