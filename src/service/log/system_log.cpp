#include "service/log/system_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "service/log/log_folder.h"

namespace service {
namespace {

constexpr std::string_view kLogFileName = "hearth.log";
constexpr int kLogGenerations = 9;

// Milliseconds since the system started, as the signed 32-bit number the
// log shows (negative after about 24.8 days).
int32_t TickCount() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

// One write(2) of a file opened for appending, so that lines written at once
// by many threads or processes never interleave within a line.
void AppendWhole(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t ignored = ::write(fd, bytes.data(), bytes.size());
  (void)ignored;
  ::close(fd);
}

}  // namespace

std::string SystemLogPath() { return LogFolder() + "/" + std::string(kLogFileName); }

std::string LogCreatedMessage() {
  char version[32];
  std::snprintf(version, sizeof version, "%d.%02d.%03d", HEARTH_VERSION_MAJOR, HEARTH_VERSION_MINOR,
                HEARTH_VERSION_REVISION);
  return std::string("System service log created, version ") + version;
}

std::string FormatLogLine(std::string_view message) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%y%m%d %H:%M:%S", &local);
  std::string line;
  line.reserve(message.size() + 40);
  line += '[';
  line += stamp;
  line += "] [";
  line += std::to_string(TickCount());
  line += "] ";
  line += message;
  return line;
}

void RotateLogFiles(std::string_view file_name, int generations) {
  try {
    const std::string path = LogFolder() + "/" + std::string(file_name);
    const std::string stem = path.substr(0, path.size() - 1);
    std::error_code ignored;
    PrepareLogPath(stem + std::to_string(generations));
    std::filesystem::remove(stem + std::to_string(generations), ignored);
    for (int n = generations; n >= 2; --n) {
      PrepareLogPath(stem + std::to_string(n));
      std::filesystem::rename(stem + std::to_string(n - 1), stem + std::to_string(n), ignored);
    }
    PrepareLogPath(stem + "1");
    std::filesystem::rename(path, stem + "1", ignored);
    PrepareLogPath(path);
  } catch (...) {
    // Rotation failures are ignored step by step; the log then continues in
    // the old file.
  }
}

void WriteSystemLog(std::string_view message) {
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
