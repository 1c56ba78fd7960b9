// The socket component's address object, declared with its contract: IPv4
// addresses between dotted text and 32-bit numbers.
#pragma once

#include "contracts/sock_component.h"

namespace support {

using contracts::AddressToText;
using contracts::kInvalidAddress;
using contracts::TextToAddress;

}  // namespace support
