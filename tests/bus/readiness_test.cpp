// READY=1 goes to systemd only once clients can reach the service: its name
// is taken on the bus.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "private_bus.h"

namespace bus_test {
namespace {

TEST(ReadinessTest, ReadyIsSentOnceTheNameIsTaken) {
  PrivateBus bus;
  const std::string path = (bus.folder() / "notify").string();
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  timeval timeout{60, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

  bus.AddServiceEnvironment("NOTIFY_SOCKET=" + path);
  bus.StartService(/*wait_for_name=*/false);
  char buffer[512];
  const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
  ::close(fd);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), "READY=1\nSTATUS=running");
  // At that moment a client finds the service.
  EXPECT_EQ(bus.LogLines("Bus: took the name com.norvale.Hearth on " + bus.address()).size(), 1u);
  Finished owner = bus.Run({"busctl", "--system", "call", "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameHasOwner", "s", "com.norvale.Hearth"});
  EXPECT_EQ(owner.out, "b true\n");
}

}  // namespace
}  // namespace bus_test
