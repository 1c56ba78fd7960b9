// New random GUID texts in the Windows form, e.g.
// "{3F2504E0-4F89-41D3-9A0C-0305E82C3301}": braces, upper-case hexadecimal,
// 8-4-4-4-12 digits, version 4 and the RFC 4122 variant.
#pragma once

#include <string>

namespace support {

// Raises an error when the system's random generator cannot be read.
std::string NewGuidText();

}  // namespace support
