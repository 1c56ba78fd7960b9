// The "bin.base64" typed element of the snapshot (the data-type convention
// of the platform DOM, see platform/xml/binary_base64.h) on the writer's own
// pugixml document.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include <pugixml.hpp>

namespace settings {

// Types the element "bin.base64" (declaring the "dt" prefix unless an
// ancestor does) and puts the bytes in it as Base64.
void SetBinaryBase64(pugi::xml_node element, std::span<const std::uint8_t> bytes);

// Whether the element carries the data type "bin.base64".
bool IsBinaryBase64(pugi::xml_node element);

// The text of every text and CDATA node below the element, in order.
std::string ElementText(pugi::xml_node element);

}  // namespace settings
