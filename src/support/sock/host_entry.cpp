#include "support/sock/host_entry.h"

#include "platform/basic/err.h"

namespace support {

int32_t HostEntry::Address(int32_t index) const {
  if (index < 1 || index > AddressCount()) platform::RaiseError(platform::kErrSubscript, {}, "HostEntry.Address");
  return addresses_[static_cast<size_t>(index - 1)];
}

}  // namespace support
