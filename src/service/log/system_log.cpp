#include "service/log/system_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/fs/file_ops.h"
#include "platform/win32/tick_count.h"
#include "service/contracts/support_objects.h"
#include "settings/folders/folders.h"

namespace service {
namespace {

constexpr std::string_view kLogFileName = "hearth.log";
constexpr int kLogGenerations = 9;

// One write(2) to a file opened for appending: lines that many threads or
// processes write at once never interleave within a line. Any failure (no
// folder, no space, a folder in the file's place) loses the line.
void AppendWhole(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const ssize_t ignored = ::write(fd, bytes.data(), bytes.size());
  (void)ignored;
  ::close(fd);
}

void PreparePath(const std::string& path) { contracts::Support().Files()->PreparePath(path); }

// Each step of the rotation may fail on its own (a missing generation, a file
// in use); the next one runs regardless.
template <class F>
void IgnoreFailure(F&& step) {
  try {
    step();
  } catch (...) {
  }
}

}  // namespace

std::string SystemLogPath() { return settings::GetLogFolder() + "/" + std::string(kLogFileName); }

std::string LogCreatedMessage() {
  return "System service log created, version " +
         contracts::VersionService::FormatNumbers(HEARTH_VERSION_MAJOR, HEARTH_VERSION_MINOR, HEARTH_VERSION_REVISION);
}

std::string FormatLogLine(std::string_view message) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%y%m%d %H:%M:%S", &local);
  char tick[16];
  std::snprintf(tick, sizeof tick, "%d", static_cast<int>(platform::win32::GetTickCount()));
  std::string line;
  line.reserve(message.size() + 40);
  line += '[';
  line += stamp;
  line += "] [";
  line += tick;
  line += "] ";
  line += message;
  return line;
}

void RotateLogFiles(std::string_view file_name, int generations) {
  try {
    const std::string path = settings::GetLogFolder() + "/" + std::string(file_name);
    if (path.empty() || generations < 1) return;
    const std::string stem = path.substr(0, path.size() - 1);
    auto generation = [&stem](int n) { return stem + std::to_string(n); };

    IgnoreFailure([&] {
      PreparePath(generation(generations));
      platform::fs::DeleteFileQuietly(generation(generations));
    });
    for (int n = generations; n >= 2; --n) {
      IgnoreFailure([&] {
        PreparePath(generation(n));
        platform::fs::RenameReplacing(generation(n - 1), generation(n));
      });
    }
    IgnoreFailure([&] {
      PreparePath(generation(1));
      platform::fs::RenameReplacing(path, generation(1));
    });
    IgnoreFailure([&] { PreparePath(path); });
  } catch (...) {
    // The log then continues in the old file.
  }
}

void WriteSystemLog(std::string_view message) {
  // The caller's pending error stays as it was: callers log "Err=" lines
  // after other lines and expect to see their own error there.
  try {
    std::string created;
    if (message.empty()) {
      RotateLogFiles(kLogFileName, kLogGenerations);
      created = LogCreatedMessage();
      message = created;
    }
    std::string line = FormatLogLine(message);
    line += "\r\n";
    AppendWhole(SystemLogPath(), line);
  } catch (...) {
    // The line is lost; the caller carries on.
  }
}

}  // namespace service
