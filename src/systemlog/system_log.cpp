#include "systemlog/system_log.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Set once a thread's kept log has been closed at the thread's end: a line
// written later on that thread (from another thread-local destructor) opens
// and closes the file itself.
thread_local bool thread_ending = false;

// Each thread keeps the log file open between its lines, so a line costs a
// stat and a write instead of an open, a write and a close. Before each line
// the path is looked at again: when another process (or thread) rotated the
// log, moved it or deleted it, the path no longer names the file held, and
// the thread opens the file the path names now. A line therefore never goes
// into a file that was rotated away before the line began, just as with an
// open per line. Each thread holds its own descriptor, so no thread can close
// one another is writing to.
class KeptLog {
 public:
  KeptLog() = default;
  KeptLog(const KeptLog&) = delete;
  KeptLog& operator=(const KeptLog&) = delete;
  ~KeptLog() {
    Close();
    thread_ending = true;
  }

  // A descriptor open for appending on the file `path` names now; -1 (with
  // errno from the open) when it cannot be opened.
  int FdFor(const std::string& path) {
    struct stat now {};
    if (fd_ >= 0 && path == path_ && ::stat(path.c_str(), &now) == 0 && now.st_dev == device_ &&
        now.st_ino == inode_) {
      return fd_;
    }
    Close();
    fd_ = OpenForAppending(path);
    if (fd_ < 0) return -1;
    struct stat held {};
    // Unknown identity (never in practice): the next line opens again.
    if (::fstat(fd_, &held) != 0) held = {};
    path_ = path;
    device_ = held.st_dev;
    inode_ = held.st_ino;
    return fd_;
  }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
  std::string path_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// One write(2) to a file opened for appending: lines that many threads or
// processes write at once never interleave within a line. Any failure (no
// space, a folder in the file's place, no rights) loses the line. A log
// folder removed meanwhile fails the open: the path is then worked out anew,
// which makes the folder again.
void AppendToLog(const std::string& bytes) {
  const auto write_line = [&bytes](int fd) {
    const ssize_t ignored = ::write(fd, bytes.data(), bytes.size());
    (void)ignored;
  };
  if (thread_ending) {
    int fd = OpenForAppending(CurrentLogPath(false));
    if (fd < 0 && errno == ENOENT) fd = OpenForAppending(CurrentLogPath(true));
    if (fd < 0) return;
    write_line(fd);
    ::close(fd);
    return;
  }
  thread_local KeptLog kept;
  int fd = kept.FdFor(CurrentLogPath(false));
  if (fd < 0 && errno == ENOENT) fd = kept.FdFor(CurrentLogPath(true));
  if (fd >= 0) write_line(fd);
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
