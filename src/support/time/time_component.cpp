#include "support/time/time_component.h"

#include <unistd.h>

#include "platform/root/machine_root.h"
#include "platform/win32/shell.h"

namespace support {
namespace {

// Stands for "no such line" in the machine configuration, which an empty
// value cannot.
constexpr char kMissing[] = "\x01";

bool IsExecutable(const char* path) { return ::access(path, X_OK) == 0; }

std::string DetectedCommand() {
  if (IsExecutable("/usr/bin/chronyc")) return "/usr/bin/chronyc -a makestep";
  if (IsExecutable("/lib/systemd/systemd-timesyncd") || IsExecutable("/usr/lib/systemd/systemd-timesyncd")) {
    return "systemctl restart systemd-timesyncd";
  }
  return {};
}

}  // namespace

std::string TimeSyncCommand() {
  std::string configured = platform::MachineConfigValue("TimeSyncCommand", kMissing);
  if (configured == kMissing) return DetectedCommand();
  return configured;
}

bool TimeComponent::SynchronizeTime() {
  const std::string command = TimeSyncCommand();
  if (command.empty()) return false;
  return platform::win32::ShellRunHidden(command);
}

}  // namespace support
