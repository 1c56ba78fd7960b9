// The "bin.base64" typed element: bytes kept as Base64 text, the element
// marked with the data-type attribute the way the MSXML data-type convention
// writes it:
//   <v xmlns:dt="urn:schemas-microsoft-com:datatypes" dt:dt="bin.base64">AAEC</v>
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/xml/node.h"

namespace platform::xml {

inline constexpr std::string_view kDataTypesNamespace = "urn:schemas-microsoft-com:datatypes";
inline constexpr std::string_view kBinBase64 = "bin.base64";

// Replaces the element's content by the Base64 text of the bytes and types
// it "bin.base64" (declaring the "dt" prefix unless the element or an
// ancestor already does). False when the node is not an element.
bool SetBinaryBase64(Node element, std::span<const std::uint8_t> bytes);

// True when the element carries the data type "bin.base64" in the data-type
// namespace.
bool IsBinaryBase64(const Node& element);

// The bytes of a "bin.base64" element; nullopt when it is not one or its
// text is not valid Base64.
std::optional<std::vector<std::uint8_t>> GetBinaryBase64(const Node& element);

}  // namespace platform::xml
