// The launcher component: starts a program from a command line and returns
// at once, without a shell in between.
#pragma once

#include <string>

namespace contracts {

class Launcher {
 public:
  virtual ~Launcher() = default;

  // Starts the program the command line names, with its arguments, detached
  // from the caller. Raises platform::BasicError when it cannot be started.
  virtual void Launch(const std::string& command_line) = 0;
};

}  // namespace contracts
