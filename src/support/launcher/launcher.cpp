#include "support/launcher/launcher.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/basic/err.h"
#include "platform/win32/detached_process.h"
#include "support/launcher/command_words.h"

namespace support {

void Launcher::Launch(const std::string& command_line) {
  std::optional<std::vector<std::string>> words = CommandWords(command_line);
  if (!words) platform::RaiseError(platform::kErrInvalidCall, "Launcher: unbalanced quotes in the command line", "Launcher");
  if (words->empty()) platform::RaiseError(platform::kErrInvalidCall, "Launcher: the command line is empty", "Launcher");
  int error = 0;
  if (!platform::win32::StartDetached(words->front(), *words, &error)) {
    const int32_t number = error == ENOENT ? platform::kErrFileNotFound
                           : (error == EACCES ? platform::kErrPermissionDenied : platform::kErrInvalidCall);
    platform::RaiseError(number, "Launcher: cannot start '" + words->front() + "': " + std::strerror(error),
                         "Launcher");
  }
}

}  // namespace support
