// Base64 in the standard alphabet (RFC 4648, with "=" padding), the form
// "bin.base64" elements carry their bytes in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform::xml {

// The bytes as one line of Base64, padded with "=".
std::string EncodeBase64(std::span<const std::uint8_t> bytes);

// The bytes the text encodes. Whitespace anywhere is ignored and the final
// padding may be left out; any other character outside the alphabet, padding
// in the middle, or a dangling single character gives nullopt.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

}  // namespace platform::xml
