#include "platform/fs/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <ctime>

#include "platform/fs/path_text.h"

namespace platform::fs {
namespace {

// Days from 1 January 1970 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

}  // namespace

std::optional<FileClock::time_point> LastWriteTime(const std::string& path) {
  struct stat st {};
  if (!IsUsablePath(path) || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  auto since_epoch = std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec);
  return FileClock::time_point(std::chrono::duration_cast<FileClock::duration>(since_epoch));
}

bool SetLastWriteTime(const std::string& path, FileClock::time_point when) {
  if (!IsUsablePath(path)) return false;
  auto since_epoch = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
  auto seconds = std::chrono::floor<std::chrono::seconds>(since_epoch);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds.count());
  times[1].tv_nsec = static_cast<long>((since_epoch - seconds).count());
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

double LocalDateSerial(FileClock::time_point when) {
  time_t seconds = static_cast<time_t>(
      std::chrono::floor<std::chrono::seconds>(when.time_since_epoch()).count());
  struct tm local {};
  if (::localtime_r(&seconds, &local) == nullptr) return 0;
  int64_t day = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                              static_cast<unsigned>(local.tm_mday)) -
                DaysFromCivil(1899, 12, 30);
  double fraction = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
  // Before the epoch day the whole part counts backwards while the time of
  // day still counts forwards: -1.25 is 29 December 1899, 06:00.
  return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

double FileDateTime(const std::string& path) {
  auto when = LastWriteTime(path);
  return when ? LocalDateSerial(*when) : 0.0;
}

}  // namespace platform::fs
