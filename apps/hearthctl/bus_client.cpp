#include "bus_client.h"

#include <cstring>

#include "bus/bus_names.h"
#include "bus/bus_service.h"
#include "platform/root/machine_root.h"
#include "service/host/control_protocol.h"
#include "service/host/lock/instance_lock.h"

namespace hearthctl {

BusClient::~BusClient() {
  if (bus_) sd_bus_flush_close_unref(bus_);
}

bool BusClient::Connect(std::string* error) {
  address_ = bus::SystemBusAddress();
  int r = sd_bus_new(&bus_);
  if (r >= 0) r = sd_bus_set_address(bus_, address_.c_str());
  if (r >= 0) r = sd_bus_set_bus_client(bus_, 1);
  if (r >= 0) r = sd_bus_start(bus_);
  const char* unique = nullptr;
  if (r >= 0) r = sd_bus_get_unique_name(bus_, &unique);
  if (r < 0) {
    *error = "the system bus is not there (" + address_ + ": " + std::strerror(-r) + ")";
    bus_ = sd_bus_flush_close_unref(bus_);
    return false;
  }
  return true;
}

namespace {

// One answer of the bus daemon about a name: `member`(name), handed to
// `read` while the reply lives. False when the daemon refuses or `read` fails.
bool AskBusAbout(sd_bus* bus, const char* member, const char* name, const std::function<int(sd_bus_message*)>& read) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", member,
                             &error, &reply, "s", name);
  if (r >= 0) r = read(reply);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return r >= 0;
}

}  // namespace

bool BusClient::ServiceRunning() {
  int has_owner = 0;
  return AskBusAbout(bus_, "NameHasOwner", bus::kBusName,
                     [&](sd_bus_message* reply) { return sd_bus_message_read(reply, "b", &has_owner); }) &&
         has_owner;
}

pid_t BusClient::ServicePid() {
  std::string owner;
  const bool named = AskBusAbout(bus_, "GetNameOwner", bus::kBusName, [&](sd_bus_message* reply) {
    const char* text = nullptr;
    const int r = sd_bus_message_read(reply, "s", &text);
    if (r >= 0 && text != nullptr) owner = text;
    return r;
  });
  if (!named || owner.empty()) return 0;
  // Later calls go to this connection, not to whoever holds the name then.
  destination_ = owner;
  uint32_t pid = 0;
  return AskBusAbout(bus_, "GetConnectionUnixProcessID", destination_.c_str(),
                     [&](sd_bus_message* reply) { return sd_bus_message_read(reply, "u", &pid); })
             ? static_cast<pid_t>(pid)
             : 0;
}

BusReply BusClient::Call(const char* path, const char* interface_name, const char* member,
                         const std::function<int(sd_bus_message*)>& append, std::string* error,
                         uint64_t timeout_usec) {
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error bus_error = SD_BUS_ERROR_NULL;
  int r = sd_bus_message_new_method_call(bus_, &call, destination_.c_str(), path, interface_name, member);
  if (r >= 0 && append) r = append(call);
  if (r >= 0) r = sd_bus_call(bus_, call, timeout_usec, &bus_error, &reply);
  if (r < 0) {
    *error = std::string(member) + ": " +
             (bus_error.message != nullptr ? std::string(bus_error.message) : std::string(std::strerror(-r)));
  }
  sd_bus_error_free(&bus_error);
  sd_bus_message_unref(call);
  return BusReply(r >= 0 ? reply : sd_bus_message_unref(reply));
}

bool ConnectToRootService(BusClient& client, std::string* error) {
  if (!client.Connect(error)) return false;
  if (!client.ServiceRunning()) {
    *error = kServiceNotOnBus;
    return false;
  }
  const std::string root = platform::MachineRoot().string();
  const pid_t on_root = service::InstanceLock::HolderPid(service::control::LockPath().string());
  if (on_root == 0) {
    *error = "hearthd is not running on " + root;
    return false;
  }
  const pid_t on_bus = client.ServicePid();
  if (on_bus != on_root) {
    *error = "the hearthd on the bus (" + (on_bus == 0 ? std::string("pid unknown") : "pid " + std::to_string(on_bus)) +
             ") is not the one running on " + root + " (pid " + std::to_string(on_root) + ")";
    return false;
  }
  return true;
}

}  // namespace hearthctl
