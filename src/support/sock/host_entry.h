// The host entry of the socket component, declared with its contract.
#pragma once

#include "contracts/sock_component.h"

namespace support {

using contracts::HostEntry;

}  // namespace support
