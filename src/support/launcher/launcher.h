// The launcher component: the command line's first word is the program
// (a path, or a name found in PATH), the rest its arguments, and no shell
// ever sees the line (LaunchShell is the exception, by its name).
//
// Started by systemd ($INVOCATION_ID), the service asks the manager to run
// each program as a transient unit "hearth-launch-<pid>-<n>.service", as
// systemd-run does: it outlives the service, a stop of the service does not
// kill it, and the service's sandbox does not bind it. When the manager
// cannot be asked, and everywhere else, the program starts detached (new
// session, standard streams on /dev/null).
#pragma once

#include <string>
#include <vector>

#include "contracts/launcher.h"

namespace support {

class Launcher : public contracts::Launcher {
 public:
  void Launch(const std::string& command_line) override;
  bool LaunchShell(const std::string& command_line) override;
};

// Starts argv (argv[0] the program's full path) the way the launcher does;
// false with *error_number set when it could not.
bool StartProgram(const std::vector<std::string>& argv, const std::string& command_line, int* error_number);

}  // namespace support
