// Programs started as transient units of the system manager (systemd), as
// systemd-run starts them: each in a service unit and cgroup of its own, so
// it outlives the process that asked and none of that process's confinement
// (its unit's sandbox, its KillMode) reaches it.
#pragma once

#include <string>
#include <vector>

namespace platform::host {

// Whether systemd started this process (it set $INVOCATION_ID): then its
// manager is there to start programs.
bool StartedBySystemManager();

// Asks the manager on the system bus ($DBUS_SYSTEM_BUS_ADDRESS, else the
// system bus) to start `argv` (argv[0] an absolute path) as the transient
// service `unit_name` (StartTransientUnit, mode "fail"); returns once the
// manager has taken the job. False with *error set when it could not be
// asked or refused.
bool StartTransientService(const std::string& unit_name, const std::string& description,
                           const std::vector<std::string>& argv, std::string* error);

// A unit name of the form "<prefix>-<pid>-<counter>.service" that no other
// call of this process gives.
std::string NewTransientUnitName(const std::string& prefix);

}  // namespace platform::host
