// The system manager (systemd) that may run the service: readiness and
// status reports over $NOTIFY_SOCKET, and whether the system is going down.
#pragma once

#include <string>

namespace platform::host {

// Sends `state` ("READY=1", "STOPPING=1", "STATUS=...", lines joined by
// "\n") to the manager named by $NOTIFY_SOCKET. False when no manager
// listens (not started by one) or the report could not be sent.
bool NotifySystemManager(const std::string& state);

// True while the system manager is taking the system down (halt, power off,
// reboot): then a SIGTERM is the system's shutdown, not an administrator's
// stop. False when no system manager can be asked.
bool SystemIsShuttingDown();

}  // namespace platform::host
