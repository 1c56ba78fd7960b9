// The c-ares implementation of the socket component contract
// (contracts/sock_component.h).
#pragma once

#include <memory>

#include "contracts/sock_component.h"
#include "support/sock/sock_config.h"

namespace support {

using contracts::dwSockNotify;
using contracts::HostEntry;
using contracts::SockComponent;

// The c-ares component, configured from the machine configuration.
std::unique_ptr<SockComponent> CreateSockComponent();
std::unique_ptr<SockComponent> CreateSockComponent(const SockConfig& config);

}  // namespace support
