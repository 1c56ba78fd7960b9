#include "platform/host/journal_entry.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform::host {

std::string EncodeJournalEntry(const std::vector<JournalField>& fields) {
  std::string bytes;
  for (const auto& [name, value] : fields) {
    bytes += name;
    if (value.find('\n') == std::string::npos) {
      bytes += '=';
      bytes += value;
    } else {
      bytes += '\n';
      uint64_t size = value.size();
      for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>((size >> (8 * i)) & 0xff));
      bytes += value;
    }
    bytes += '\n';
  }
  return bytes;
}

bool SendJournalEntry(const std::vector<JournalField>& fields, const std::string& socket_path, std::string* error) {
  sockaddr_un address{};
  if (socket_path.empty() || socket_path.size() >= sizeof address.sun_path) {
    *error = "no usable journal socket path";
    return false;
  }
  address.sun_family = AF_UNIX;
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = std::string("cannot make a socket: ") + std::strerror(errno);
    return false;
  }
  const std::string bytes = EncodeJournalEntry(fields);
  const ssize_t sent = ::sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
                                sizeof address);
  const int reason = errno;
  ::close(fd);
  if (sent < 0 || static_cast<size_t>(sent) != bytes.size()) {
    *error = "cannot send to " + socket_path + ": " + std::strerror(sent < 0 ? reason : EMSGSIZE);
    return false;
  }
  return true;
}

}  // namespace platform::host
