// The socket component's events, declared with its contract.
#pragma once

#include "contracts/sock_component.h"

namespace support {

using contracts::dwSockNotify;

}  // namespace support
