#include "testing/time_zone.h"

#include <cstdlib>
#include <ctime>

namespace testing_support {

ScopedTimeZone::ScopedTimeZone() {
  if (const char* tz = std::getenv("TZ")) saved_ = tz;
}

ScopedTimeZone::ScopedTimeZone(const char* tz) : ScopedTimeZone() { Use(tz); }

ScopedTimeZone::~ScopedTimeZone() {
  if (saved_) {
    ::setenv("TZ", saved_->c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

void ScopedTimeZone::Use(const char* tz) {
  ::setenv("TZ", tz, 1);
  ::tzset();
}

}  // namespace testing_support
