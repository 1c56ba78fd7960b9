// The launcher component: the command line's first word is the program
// (a path, or a name found in PATH), the rest its arguments; it runs
// detached, with its standard streams on /dev/null, and no shell ever sees
// the line.
#pragma once

#include <string>

#include "service/contracts/launcher.h"

namespace support {

class Launcher : public contracts::Launcher {
 public:
  void Launch(const std::string& command_line) override;
};

}  // namespace support
