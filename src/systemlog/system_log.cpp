#include "systemlog/system_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "contracts/support_objects.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/rename_keeping.h"
#include "platform/root/machine_root.h"
#include "platform/root/root_in_force.h"
#include "platform/win32/tick_count.h"
#include "systemlog/suite_folders.h"

namespace service {
namespace {

constexpr std::string_view kLogFileName = "hearth.log";
constexpr int kLogGenerations = 9;

// How long a thread trusts the log path it worked out. Working it out asks
// the folder component (which reads the machine configuration) and looks at
// the disk, which would cost more than the line itself; a log folder that
// disappears is noticed at once anyway (the open fails and the path is
// worked out anew, making the folder again).
constexpr auto kLogPathLifetime = std::chrono::seconds(1);

struct LogPathCache {
  std::filesystem::path root;
  const contracts::FolderComponent* folders = nullptr;
  std::chrono::steady_clock::time_point worked_out;
  std::string path;
};

thread_local LogPathCache log_path_cache;

const std::string& CurrentLogPath(bool work_out_anew) {
  LogPathCache& cache = log_path_cache;
  const contracts::FolderComponent* folders = contracts::Support().Folders().get();
  const auto now = std::chrono::steady_clock::now();
  // The root is compared in place: a copy and a path comparison per line
  // cost more than the rest of the work around the write.
  if (work_out_anew || cache.path.empty() || folders != cache.folders || now - cache.worked_out >= kLogPathLifetime ||
      !platform::IsMachineRoot(cache.root)) {
    cache.root = platform::MachineRoot();
    cache.path = LogFolder() + "/" + std::string(kLogFileName);
    cache.folders = folders;
    cache.worked_out = now;
  }
  return cache.path;
}

int OpenForAppending(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

// One write(2) to a file opened for appending: lines that many threads or
// processes write at once never interleave within a line. Any failure (no
// space, a folder in the file's place, no rights) loses the line.
void AppendToLog(const std::string& bytes) {
  int fd = OpenForAppending(CurrentLogPath(false));
  if (fd < 0 && errno == ENOENT) fd = OpenForAppending(CurrentLogPath(true));
  if (fd < 0) return;
  const ssize_t ignored = ::write(fd, bytes.data(), bytes.size());
  (void)ignored;
  ::close(fd);
}

std::time_t SystemClock() { return std::time(nullptr); }

std::atomic<LogClock> log_clock{&SystemClock};

// The local time stamp "yyMMdd HH:mm:ss", made once per second and thread.
const std::string& TimeStamp() {
  thread_local std::time_t stamped = -1;
  thread_local std::string stamp;
  const std::time_t now = log_clock.load(std::memory_order_relaxed)();
  if (now != stamped) {
    std::tm local{};
    localtime_r(&now, &local);
    char text[40];
    const size_t length = std::strftime(text, sizeof text, "%y%m%d %H:%M:%S", &local);
    stamp.assign(text, length);
    stamped = now;
  }
  return stamp;
}

void PreparePath(const std::string& path) { contracts::Support().Files()->PreparePath(path); }

// Each step of the rotation may fail on its own (a missing generation, a file
// in use); the next one runs regardless. A move never replaces a generation
// that is still there: when the oldest cannot go, the chain stays as it is
// and the new log goes on in the current file.
template <class F>
void IgnoreFailure(F&& step) {
  try {
    step();
  } catch (...) {
  }
}

}  // namespace

LogClock SetLogClock(LogClock clock) {
  return log_clock.exchange(clock ? clock : &SystemClock);
}

std::string SystemLogPath() { return CurrentLogPath(true); }

std::string LogCreatedMessage() {
  return "System service log created, version " +
         contracts::VersionService::FormatNumbers(HEARTH_VERSION_MAJOR, HEARTH_VERSION_MINOR, HEARTH_VERSION_REVISION);
}

std::string FormatLogLine(std::string_view message) {
  char tick[16];
  const auto tick_end = std::to_chars(tick, tick + sizeof tick, platform::win32::GetTickCount()).ptr;
  std::string line;
  line.reserve(message.size() + 40);
  line += '[';
  line += TimeStamp();
  line += "] [";
  line.append(tick, tick_end);
  line += "] ";
  line += message;
  return line;
}

void RotateLogFiles(std::string_view file_name, int generations) {
  try {
    const std::string path = LogFolder() + "/" + std::string(file_name);
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
        platform::fs::RenameKeeping(generation(n - 1), generation(n));
      });
    }
    IgnoreFailure([&] {
      PreparePath(generation(1));
      platform::fs::RenameKeeping(path, generation(1));
    });
    IgnoreFailure([&] { PreparePath(path); });
  } catch (...) {
    // The log then continues in the old file.
  }
}

namespace {
std::atomic<bool> log_silenced{false};
}  // namespace

void SetSystemLogSilenced(bool silenced) { log_silenced = silenced; }

void WriteSystemLog(std::string_view message) {
  if (log_silenced.load()) return;
  // The caller's pending error stays as it was: callers log "Err=" lines
  // after other lines and expect to see their own error there.
  try {
    std::string created;
    if (message.empty()) {
      RotateLogFiles(kLogFileName, kLogGenerations);
      CurrentLogPath(true);  // a new log: the folder is looked at anew
      created = LogCreatedMessage();
      message = created;
    }
    std::string line = FormatLogLine(message);
    line += "\r\n";
    AppendToLog(line);
  } catch (...) {
    // The line is lost; the caller carries on.
  }
}

}  // namespace service
