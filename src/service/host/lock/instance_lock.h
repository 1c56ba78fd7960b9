// The lock that lets only one hearthd run on a machine root: an exclusive
// lock on <root>/run/hearthd.lock, held while the object lives (and dropped
// by the kernel when the process ends, however it ends).
#pragma once

#include <sys/types.h>

#include <string>

namespace service {

class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  enum class Result { kAcquired, kHeldElsewhere, kFailed };
  // Takes the lock on `path` (the file is created when missing) and writes
  // this process's id into it. kFailed with *error set when the file cannot
  // be opened.
  Result Acquire(const std::string& path, std::string* error);

  // The process that holds the lock at `path` now; 0 when nobody does (a
  // file left by a stopped service says nothing). Takes nothing and writes
  // nothing.
  static pid_t HolderPid(const std::string& path);

 private:
  int fd_ = -1;
};

}  // namespace service
