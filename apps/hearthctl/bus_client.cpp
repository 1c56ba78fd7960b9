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

// One answer of the bus daemon about hearthd's name: `member`("com.norvale.Hearth")
// read as `type`. False when the daemon refuses or says something else.
template <class T>
bool AskBusAboutName(sd_bus* bus, const char* member, const char* type, T* answer) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int r = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", member,
                             &error, &reply, "s", bus::kBusName);
  if (r >= 0) r = sd_bus_message_read(reply, type, answer);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return r >= 0;
}

}  // namespace

bool BusClient::ServiceRunning() {
  int has_owner = 0;
  return AskBusAboutName(bus_, "NameHasOwner", "b", &has_owner) && has_owner;
}

pid_t BusClient::ServicePid() {
  uint32_t pid = 0;
  return AskBusAboutName(bus_, "GetConnectionUnixProcessID", "u", &pid) ? static_cast<pid_t>(pid) : 0;
}

BusReply BusClient::Call(const char* path, const char* interface_name, const char* member,
                         const std::function<int(sd_bus_message*)>& append, std::string* error,
                         uint64_t timeout_usec) {
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error bus_error = SD_BUS_ERROR_NULL;
  int r = sd_bus_message_new_method_call(bus_, &call, bus::kBusName, path, interface_name, member);
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
  const pid_t on_root = service::InstanceLock::HolderPid(service::control::LockPath().string());
  const pid_t on_bus = client.ServicePid();
  if (on_root != 0 && on_bus != 0 && on_root != on_bus) {
    *error = "the hearthd on the bus (pid " + std::to_string(on_bus) + ") is not the one running on " +
             platform::MachineRoot().string() + " (pid " + std::to_string(on_root) + ")";
    return false;
  }
  return true;
}

}  // namespace hearthctl
