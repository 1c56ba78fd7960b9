// The asynchronous socket component the name resolver drives ("dwSock6"): it
// starts forward and reverse lookups and reports each one to its sink on the
// thread that started it (posted to that thread's apartment, so the answer
// arrives when the thread pumps). Request handles are positive and unique
// among the requests still outstanding.
//
// Also the component's host entry and address objects: IPv4 addresses as
// 32-bit numbers holding the first part in their top byte ("1.2.3.4" is
// 0x01020304).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/basic/err.h"

namespace contracts {

// The host entry a finished lookup carries: the official name and every IPv4
// address of the host.
class HostEntry {
 public:
  HostEntry() = default;
  HostEntry(std::string name, std::vector<int32_t> addresses)
      : name_(std::move(name)), addresses_(std::move(addresses)) {}

  const std::string& Name() const { return name_; }
  int32_t AddressCount() const { return static_cast<int32_t>(addresses_.size()); }
  // 1-based; raises 9 (subscript out of range) outside 1..AddressCount().
  int32_t Address(int32_t index) const {
    if (index < 1 || index > AddressCount()) platform::RaiseError(platform::kErrSubscript, {}, "HostEntry.Address");
    return addresses_[static_cast<size_t>(index - 1)];
  }

 private:
  std::string name_;
  std::vector<int32_t> addresses_;
};

// The events the component raises to its notification sink. Each lookup ends
// in exactly one of them, delivered on the thread that started the lookup,
// unless the request was cancelled first. (The component's SocketError,
// SocketNotification and DataReceived events belong to its stream sockets,
// which nothing here uses.)
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
  // The longest a started lookup may take before it is reported (every try
  // of every server, each try waiting longer); 0 when the component does not
  // say. A caller that blocks on a lookup waits at least this long.
  virtual std::chrono::milliseconds LongestLookup() const { return std::chrono::milliseconds(0); }
};

// The real component, configured from the machine configuration.
std::unique_ptr<SockComponent> CreateSockComponent();

// -1 when `text` is not four decimal parts 0..255 joined by dots (no spaces,
// signs, leading zeros, or other forms). "255.255.255.255" is -1 too: like the
// classic inet_addr, the broadcast address cannot be told from failure.
constexpr int32_t kInvalidAddress = -1;
int32_t TextToAddress(std::string_view text);

// "a.b.c.d" for any 32-bit number.
std::string AddressToText(int32_t address);

}  // namespace contracts
