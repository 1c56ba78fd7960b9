// The process's one hive and the lock every registry call runs under. The
// hive follows MachineRoot(): a call after the root changed works on the new
// root's hive. A forked child reconnects on its first call and keeps its
// handles.
//
//   return WithHive("RegOpenKeyExA", [&](Hive& hive) { return hive.OpenKey(...); });
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "platform/registry/hive.h"
#include "platform/registry/registry_types.h"

namespace platform::registry {

// Holds the process lock; delivers the diagnostics gathered meanwhile after
// letting it go.
class HiveLock {
 public:
  HiveLock() noexcept;
  ~HiveLock();
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;

  // Null when the hive cannot be opened; then open_error() says why.
  Hive* hive() const { return hive_; }
  LONG open_error() const { return open_error_; }
  // Turns what a call threw into its result code, reporting it.
  LONG Fail(const char* operation, std::exception_ptr error) noexcept;

 private:
  Hive* hive_ = nullptr;
  LONG open_error_ = kErrorSuccess;
  std::vector<std::string> diagnostics_;
};

// Runs one registry call on the hive: `body(Hive&)` returns the result code.
template <class Body>
LONG WithHive(const char* operation, Body&& body) noexcept {
  HiveLock lock;
  if (lock.hive() == nullptr) return lock.open_error();
  try {
    lock.hive()->Sync();
    return body(*lock.hive());
  } catch (...) {
    return lock.Fail(operation, std::current_exception());
  }
}

}  // namespace platform::registry
