// The asynchronous socket component the name resolver drives: it starts
// forward and reverse lookups and reports each one to its sink on the thread
// that started it (posted to that thread's apartment, so the answer arrives
// when the thread pumps). Request handles are positive and unique among the
// requests still outstanding.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "support/sock/sock_config.h"
#include "support/sock/sock_notify.h"

namespace support {

class SockComponent {
 public:
  virtual ~SockComponent() = default;
  // The sink every event goes to; events for a sink that has gone are dropped.
  virtual void RegisterNotify(std::weak_ptr<dwSockNotify> sink) = 0;
  // Looks up the addresses of a host name (hosts file, then DNS).
  virtual int32_t StartForwardLookup(std::string_view host_name) = 0;
  // Looks up the name of a 32-bit address.
  virtual int32_t StartReverseLookup(int32_t address) = 0;
  // The request will not be reported. Unknown handles are ignored.
  virtual void CancelRequest(int32_t handle) = 0;
};

// The c-ares component, configured from the machine configuration.
std::unique_ptr<SockComponent> CreateSockComponent();
std::unique_ptr<SockComponent> CreateSockComponent(const SockConfig& config);

}  // namespace support
