#include "support/sock/request_table.h"

#include <limits>

namespace support {

RequestTable::Ticket RequestTable::Add() {
  std::lock_guard lock(mutex_);
  int32_t handle = next_handle_;
  while (outstanding_.count(handle)) {
    handle = handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
  }
  next_handle_ = handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
  Ticket ticket{handle, next_serial_++};
  outstanding_[handle] = ticket.serial;
  return ticket;
}

bool RequestTable::Finish(const Ticket& ticket) {
  std::lock_guard lock(mutex_);
  auto it = outstanding_.find(ticket.handle);
  if (it == outstanding_.end() || it->second != ticket.serial) return false;
  outstanding_.erase(it);
  return true;
}

bool RequestTable::Cancel(int32_t handle) {
  std::lock_guard lock(mutex_);
  return outstanding_.erase(handle) > 0;
}

size_t RequestTable::size() const {
  std::lock_guard lock(mutex_);
  return outstanding_.size();
}

}  // namespace support
