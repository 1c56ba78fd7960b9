#include "platform/host/system_manager.h"

#include <systemd/sd-bus.h>
#include <systemd/sd-daemon.h>

#include <cstdlib>
#include <cstring>

namespace platform::host {

bool NotifySystemManager(const std::string& state) {
  if (std::getenv("NOTIFY_SOCKET") == nullptr) return false;
  return sd_notify(0, state.c_str()) > 0;
}

bool SystemIsShuttingDown() {
  // Only a process the manager started asks it; anywhere else (a shell, a
  // test) a SIGTERM is a stop.
  if (sd_booted() <= 0 || std::getenv("INVOCATION_ID") == nullptr) return false;
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return false;
  char* state = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int rc = sd_bus_get_property_string(bus, "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                                            "org.freedesktop.systemd1.Manager", "SystemState", &error, &state);
  const bool stopping = rc >= 0 && state != nullptr && std::strcmp(state, "stopping") == 0;
  std::free(state);
  sd_bus_error_free(&error);
  sd_bus_flush_close_unref(bus);
  return stopping;
}

}  // namespace platform::host
