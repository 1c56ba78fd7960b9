#include "platform/fs/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "platform/basic/date_time.h"
#include "platform/fs/path_text.h"

namespace platform::fs {

std::optional<FileClock::time_point> LastWriteTime(const std::string& path) {
  struct stat st {};
  if (!IsUsablePath(path) || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  auto since_epoch = std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
  return FileClock::time_point(std::chrono::duration_cast<FileClock::duration>(since_epoch));
}

bool SetLastWriteTime(const std::string& path, FileClock::time_point when) {
  if (!IsUsablePath(path)) return false;
  const std::array<struct timespec, 2> times = LastWriteTimeOnly(when);
  return ::utimensat(AT_FDCWD, path.c_str(), times.data(), 0) == 0;
}

std::array<struct timespec, 2> LastWriteTimeOnly(FileClock::time_point when) {
  auto since_epoch = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
  std::array<struct timespec, 2> times{};
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds.count());
  times[1].tv_nsec = static_cast<long>((since_epoch - seconds).count());
  return times;
}

double LocalDateSerial(FileClock::time_point when) {
  time_t seconds = static_cast<time_t>(
      std::chrono::floor<std::chrono::seconds>(when.time_since_epoch()).count());
  struct tm local {};
  if (::localtime_r(&seconds, &local) == nullptr) return 0;
  int year = local.tm_year + 1900;
  // DateSerial reads years below 100 as two-digit years; such times have no
  // serial of their own here.
  if (year < 100 || year > 9999) return 0;
  return DateAddTime(DateSerial(year, local.tm_mon + 1, local.tm_mday),
                     TimeSerial(local.tm_hour, local.tm_min, local.tm_sec));
}

double FileDateTime(const std::string& path) {
  auto when = LastWriteTime(path);
  return when ? LocalDateSerial(*when) : 0.0;
}

}  // namespace platform::fs
