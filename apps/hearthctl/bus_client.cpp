#include "bus_client.h"

#include <cstring>

#include "bus/bus_names.h"
#include "bus/bus_service.h"

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

bool BusClient::ServiceRunning() {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int has_owner = 0;
  int r = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                             "NameHasOwner", &error, &reply, "s", bus::kBusName);
  if (r >= 0) r = sd_bus_message_read(reply, "b", &has_owner);
  sd_bus_error_free(&error);
  sd_bus_message_unref(reply);
  return r >= 0 && has_owner;
}

}  // namespace hearthctl
