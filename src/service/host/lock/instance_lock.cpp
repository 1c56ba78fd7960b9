#include "service/host/lock/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

pid_t InstanceLock::HolderPid(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  pid_t pid = 0;
  // A shared lock is refused only while a holder has the exclusive one.
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof(text) - 1, 0);
    if (got > 0) pid = static_cast<pid_t>(std::strtol(text, nullptr, 10));
  }
  ::close(fd);
  return pid > 0 ? pid : 0;
}

}  // namespace service
