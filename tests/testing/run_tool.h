// Runs a built program with arguments and collects what it says.
#pragma once

#include <string>
#include <vector>

namespace hearthctl_test {

struct ToolRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs ${HEARTH_BIN_DIR}/<program> with `args` (no shell between).
ToolRun RunTool(const std::string& program, const std::vector<std::string>& args);

}  // namespace hearthctl_test
