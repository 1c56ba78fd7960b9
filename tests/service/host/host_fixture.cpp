#include "host_fixture.h"

#include <sys/socket.h>
#include <unistd.h>

#include "service/host/unix_socket_address.h"

namespace service {

std::string Exchange(const std::string& socket_path, const std::string& bytes) {
  control::UnixSocketAddress address(socket_path);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || !address.valid() || ::connect(fd, address.get(), address.size()) != 0) {
    if (fd >= 0) ::close(fd);
    return "CONNECT FAILED";
  }
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  std::string reply;
  char buffer[256];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return reply;
}

}  // namespace service
