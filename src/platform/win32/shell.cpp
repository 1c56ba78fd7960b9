#include "platform/win32/shell.h"

#include "platform/win32/detached_process.h"

namespace platform::win32 {

bool ShellRunHidden(const std::string& command_line) {
  if (command_line.empty()) return false;
  return StartDetached("/bin/sh", {"sh", "-c", command_line});
}

}  // namespace platform::win32
