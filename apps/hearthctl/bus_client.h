// hearthctl's side of the bus: one connection to the bus hearthd is on
// ($DBUS_SYSTEM_BUS_ADDRESS, else the system bus) and the calls and signals
// the commands that talk to the running service need.
#pragma once

#include <sys/types.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/basic/variant.h"

namespace hearthctl {

struct BusMessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusReply = std::unique_ptr<sd_bus_message, BusMessageUnref>;

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
  // The process id of whoever holds hearthd's name; 0 when the bus does not
  // say. From then on, calls go to that connection only.
  pid_t ServicePid();
  // Where calls go: hearthd's name, or the connection ServicePid found.
  const std::string& destination() const { return destination_; }
  // Calls MEMBER of hearthd's object at `path`; `append` adds the arguments.
  // The reply, or nullptr with *error set to the service's or the bus's words.
  // `timeout_usec` 0 is the bus's default (25 s).
  BusReply Call(const char* path, const char* interface_name, const char* member,
                const std::function<int(sd_bus_message*)>& append, std::string* error, uint64_t timeout_usec = 0);
  sd_bus* bus() const { return bus_; }
  const std::string& address() const { return address_; }

 private:
  sd_bus* bus_ = nullptr;
  std::string address_;
  std::string destination_ = "com.norvale.Hearth";
};

// Connects `client` to the hearthd that runs on the machine root: the one
// holding its name on the bus must be the process holding the root's
// instance lock, so a command never reaches the service of another root.
// False with *error set (the bus missing, hearthd not on it, another root's
// hearthd on it).
bool ConnectToRootService(BusClient& client, std::string* error);

struct Command;
struct Io;

// "dns resolve --via-service": each name or address through the running
// service's resolver, printed as "dns resolve" prints them.
int ResolveViaService(const Command& self, const std::vector<std::string>& texts, long timeout_seconds, Io& io);

// How the settings commands name a collection's owner: "the system
// collection", "the guest profile" ("*") or "user SID".
std::string SettingsOwnerText(const std::string& owner);

// "settings get|set" while hearthd runs: the collections in its memory.
// `owner` is empty for the system collection, else a user's SID ("*": the
// guest profile).
// A user the service has not loaded is read from the stored file by `from_file`.
int GetSettingViaService(const Command& self, const std::string& name, const std::string& owner, Io& io,
                         const std::function<int()>& from_file);
int SetSettingViaService(const Command& self, const std::string& name, const platform::Variant& value,
                         const std::string& owner, Io& io);

// "the system bus is not there (ADDRESS: reason)" / "hearthd is not on the bus".
inline constexpr char kServiceNotOnBus[] = "hearthd is not running on the bus (com.norvale.Hearth has no owner)";

}  // namespace hearthctl
