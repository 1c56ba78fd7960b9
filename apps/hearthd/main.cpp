// hearthd: the service host. Runs the system service in the foreground on a
// machine root until it is stopped: SIGTERM or SIGINT (a stop), SIGPWR (a
// system shutdown), or a request on <root>/run/hearthd.sock (hearthctl
// service stop|shutdown|control N). `hearthd --print-unit` writes its
// systemd unit.
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/memory_policy.h"
#include "service/host/host_main.h"

int main(int argc, char** argv) {
  platform::host::KeepFreedMemoryForReuse();
  try {
    return service::HearthdMain(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    std::cerr << "hearthd: " << error.what() << "\n";
  } catch (...) {
    std::cerr << "hearthd: unexpected failure\n";
  }
  return 1;
}
