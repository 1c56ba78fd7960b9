// The events the socket component raises to its notification sink. Each
// lookup ends in exactly one of them, delivered on the thread that started
// the lookup, unless the request was cancelled first. (The component's
// SocketError, SocketNotification and DataReceived events belong to its
// stream sockets, which nothing here uses.)
#pragma once

#include <cstdint>
#include <string>

#include "support/sock/host_entry.h"

namespace support {

class dwSockNotify {
 public:
  virtual ~dwSockNotify() = default;
  // A lookup finished with an answer. `entry` is null when there is none.
  virtual void HostResolved(int32_t handle, const HostEntry* entry) = 0;
  // A lookup failed: `error` is the Winsock number (11001 host not found,
  // 11002 try again, 11003 no recovery, 11004 no data), `description` says
  // what happened.
  virtual void AsyncError(int32_t handle, int32_t error, const std::string& description) = 0;
};

}  // namespace support
