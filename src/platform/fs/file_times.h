// Last write times of files.
#pragma once

#include <time.h>

#include <array>
#include <chrono>
#include <optional>
#include <string>

namespace platform::fs {

using FileClock = std::chrono::system_clock;

// The last write (modification) time; nothing when the path does not exist.
std::optional<FileClock::time_point> LastWriteTime(const std::string& path);

// Sets the last write time (what a restored file gets back). False when the
// path does not exist or the change is refused.
bool SetLastWriteTime(const std::string& path, FileClock::time_point when);

// The two times utimensat(2) and futimens(2) take: the last access kept,
// the last write set to `when`.
std::array<struct timespec, 2> LastWriteTimeOnly(FileClock::time_point when);

// Basic FileDateTime: the last write time in local time as a date serial
// (days since 30 December 1899, the time of day as the fraction), to the
// second. 0 when the path does not exist.
double FileDateTime(const std::string& path);

// The local-time date serial of a point in time, to the second; 0 for times
// outside the years 100 to 9999.
double LocalDateSerial(FileClock::time_point when);

}  // namespace platform::fs
