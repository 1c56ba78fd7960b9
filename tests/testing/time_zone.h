// The process's time zone (TZ) for one test: the zone in force before is put
// back when the object goes, so zone-dependent tests cannot leak into others.
#pragma once

#include <optional>
#include <string>

namespace testing_support {

class ScopedTimeZone {
 public:
  ScopedTimeZone();
  // Uses `tz` at once.
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  // Sets TZ to `tz` (a POSIX zone such as "EST5" or "<-03>3") and applies it.
  void Use(const char* tz);

 private:
  std::optional<std::string> saved_;
};

}  // namespace testing_support
