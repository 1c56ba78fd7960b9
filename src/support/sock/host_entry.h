// The host entry a finished lookup carries: the official name and every
// IPv4 address of the host, as 32-bit numbers (see dotted_address.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace support {

class HostEntry {
 public:
  HostEntry() = default;
  HostEntry(std::string name, std::vector<int32_t> addresses)
      : name_(std::move(name)), addresses_(std::move(addresses)) {}

  const std::string& Name() const { return name_; }
  int32_t AddressCount() const { return static_cast<int32_t>(addresses_.size()); }
  // 1-based; raises 9 (subscript out of range) outside 1..AddressCount().
  int32_t Address(int32_t index) const;

 private:
  std::string name_;
  std::vector<int32_t> addresses_;
};

}  // namespace support
