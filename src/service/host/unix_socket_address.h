// A Unix socket address for a path of any length: a path longer than
// sun_path is reached through the descriptor of its folder
// ("/proc/self/fd/<n>/<name>"), which the caller keeps open while it binds
// or connects. Header-only (hearthctl uses it too).
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace service::control {

class UnixSocketAddress {
 public:
  explicit UnixSocketAddress(const std::string& path) {
    std::memset(&address_, 0, sizeof address_);
    address_.sun_family = AF_UNIX;
    std::string usable = path;
    if (usable.size() >= sizeof address_.sun_path) {
      const size_t slash = path.rfind('/');
      if (slash != std::string::npos) {
        folder_fd_ = ::open(slash == 0 ? "/" : path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder_fd_ >= 0) usable = "/proc/self/fd/" + std::to_string(folder_fd_) + path.substr(slash);
      }
    }
    valid_ = !usable.empty() && usable.size() < sizeof address_.sun_path;
    if (valid_) std::memcpy(address_.sun_path, usable.c_str(), usable.size() + 1);
  }
  ~UnixSocketAddress() {
    if (folder_fd_ >= 0) ::close(folder_fd_);
  }
  UnixSocketAddress(const UnixSocketAddress&) = delete;
  UnixSocketAddress& operator=(const UnixSocketAddress&) = delete;

  // False when the path cannot be reached at all (its folder is missing).
  bool valid() const { return valid_; }
  const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
  socklen_t size() const { return static_cast<socklen_t>(sizeof address_); }

 private:
  sockaddr_un address_;
  int folder_fd_ = -1;
  bool valid_ = false;
};

}  // namespace service::control
