#include "service/host/lock/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
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
  // The kernel's own table of locks names the holder; reading it takes no
  // lock (a probe with a lock of our own could make a starting hearthd think
  // another one runs) and does not depend on the file's text.
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return 0;
  char device_and_inode[64];
  std::snprintf(device_and_inode, sizeof device_and_inode, "%02x:%02x:%lu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long>(file.st_ino));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 fe:00:5308443 0 EOF"; waiters are "1: -> FLOCK ...".
    std::istringstream fields(line);
    std::string number, kind, mode, access, id;
    long pid = 0;
    if (!(fields >> number >> kind >> mode >> access >> pid >> id)) continue;
    if (kind == "FLOCK" && access == "WRITE" && id == device_and_inode && pid > 0) return static_cast<pid_t>(pid);
  }
  return 0;
}

}  // namespace service
