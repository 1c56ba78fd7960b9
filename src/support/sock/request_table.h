// The requests of a socket component that are still outstanding: hands out
// request handles (positive, unique among outstanding requests) and matches
// each answer to the request it belongs to, so that an answer for a
// cancelled request is dropped even after its handle was given out again.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace support {

class RequestTable {
 public:
  struct Ticket {
    int32_t handle;
    uint64_t serial;  // never reused
  };

  Ticket Add();
  // True (and the request is gone) when `ticket` is still outstanding.
  bool Finish(const Ticket& ticket);
  // The request of `handle` will not be reported; false when unknown.
  bool Cancel(int32_t handle);
  size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_map<int32_t, uint64_t> outstanding_;  // handle -> serial
  int32_t next_handle_ = 1;
  uint64_t next_serial_ = 1;
};

}  // namespace support
