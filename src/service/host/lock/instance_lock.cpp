#include "service/host/lock/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace service {

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

InstanceLock::Result InstanceLock::Acquire(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return Result::kFailed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int reason = errno;
    ::close(fd);
    if (reason == EWOULDBLOCK) return Result::kHeldElsewhere;
    *error = "cannot lock " + path + ": " + std::strerror(reason);
    return Result::kFailed;
  }
  // For people looking: which process holds it.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    const ssize_t ignored = ::pwrite(fd, pid.data(), pid.size(), 0);
    (void)ignored;
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  return Result::kAcquired;
}

}  // namespace service
