// The launcher component: starts a program and returns at once. Under
// systemd each program becomes a transient unit of its own, outside the
// service's cgroup and confinement; elsewhere it starts detached.
#pragma once

#include <string>

namespace contracts {

class Launcher {
 public:
  virtual ~Launcher() = default;

  // Starts the program the command line names, with its arguments, without
  // a shell in between. Raises platform::BasicError when it cannot be
  // started.
  virtual void Launch(const std::string& command_line) = 0;

  // Starts `/bin/sh -c command_line` (the platform shell of "runprogram").
  // False when it could not be started.
  virtual bool LaunchShell(const std::string& command_line) = 0;
};

}  // namespace contracts
