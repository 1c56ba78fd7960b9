#include "support/launcher/launcher.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/basic/err.h"
#include "platform/host/transient_unit.h"
#include "platform/win32/detached_process.h"
#include "support/diagnostics/diagnostics.h"
#include "support/launcher/command_words.h"

namespace support {
namespace {

// The unit's description: what the administrator sees in systemctl status.
std::string Description(const std::string& command_line) {
  constexpr size_t kLongest = 200;
  std::string shown = command_line.size() > kLongest ? command_line.substr(0, kLongest) + "..." : command_line;
  return "hearth: " + shown;
}

}  // namespace

bool StartProgram(const std::vector<std::string>& argv, const std::string& command_line, int* error_number) {
  if (platform::host::StartedBySystemManager()) {
    const std::string path = platform::win32::FindProgram(argv.front());
    if (path.empty()) {
      *error_number = ENOENT;
      return false;
    }
    std::vector<std::string> words = argv;
    words.front() = path;
    std::string error;
    const std::string unit = platform::host::NewTransientUnitName("hearth-launch");
    if (platform::host::StartTransientService(unit, Description(command_line), words, &error)) return true;
    ReportDiagnostic("Launcher: " + error + "; starting the program detached instead");
  }
  return platform::win32::StartDetached(argv.front(), argv, error_number);
}

void Launcher::Launch(const std::string& command_line) {
  std::optional<std::vector<std::string>> words = CommandWords(command_line);
  if (!words) platform::RaiseError(platform::kErrInvalidCall, "Launcher: unbalanced quotes in the command line", "Launcher");
  if (words->empty()) platform::RaiseError(platform::kErrInvalidCall, "Launcher: the command line is empty", "Launcher");
  int error = 0;
  if (!StartProgram(*words, command_line, &error)) {
    const int32_t number = error == ENOENT ? platform::kErrFileNotFound
                           : (error == EACCES ? platform::kErrPermissionDenied : platform::kErrInvalidCall);
    platform::RaiseError(number, "Launcher: cannot start '" + words->front() + "': " + std::strerror(error),
                         "Launcher");
  }
}

bool Launcher::LaunchShell(const std::string& command_line) {
  if (command_line.empty()) return false;
  int error = 0;
  return StartProgram({"/bin/sh", "-c", command_line}, command_line, &error);
}

}  // namespace support
