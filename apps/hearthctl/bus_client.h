// hearthctl's side of the bus: one connection to the bus hearthd is on
// ($DBUS_SYSTEM_BUS_ADDRESS, else the system bus) and the calls and signals
// the commands that talk to the running service need.
#pragma once

#include <systemd/sd-bus.h>

#include <string>
#include <vector>

namespace hearthctl {

class BusClient {
 public:
  BusClient() = default;
  ~BusClient();
  BusClient(const BusClient&) = delete;
  BusClient& operator=(const BusClient&) = delete;

  // False with *error set when the bus is not there.
  bool Connect(std::string* error);
  // True when hearthd holds its name on the bus.
  bool ServiceRunning();
  sd_bus* bus() const { return bus_; }
  const std::string& address() const { return address_; }

 private:
  sd_bus* bus_ = nullptr;
  std::string address_;
};

struct Command;
struct Io;

// "dns resolve --via-service": each name or address through the running
// service's resolver, printed as "dns resolve" prints them.
int ResolveViaService(const Command& self, const std::vector<std::string>& texts, long timeout_seconds, Io& io);

// "the system bus is not there (ADDRESS: reason)" / "hearthd is not on the bus".
inline constexpr char kServiceNotOnBus[] = "hearthd is not running on the bus (com.norvale.Hearth has no owner)";

}  // namespace hearthctl
