#include "platform/win32/time_zone.h"

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace platform::win32 {
namespace {

class TimeZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("TZ", saved_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  int32_t BiasIn(const char* tz) {
    ::setenv("TZ", tz, 1);
    ::tzset();
    return GetTimeZoneBias();
  }
  std::optional<std::string> saved_;
};

TEST_F(TimeZoneTest, BiasIsMinusTheUtcOffset) {
  struct Case {
    const char* tz;
    int32_t bias;
  } cases[] = {
      {"UTC0", 0},
      {"EST5", 300},        // no daylight time
      {"IST-5:30", -330},   // half-hour zone east of Greenwich
      {"NPT-5:45", -345},
      {"HST10", 600},
  };
  for (const Case& c : cases) EXPECT_EQ(BiasIn(c.tz), c.bias) << c.tz;
}

TEST_F(TimeZoneTest, DaylightTimeCountsWhileInForce) {
  // Rules whose daylight time lasts the whole year, so the answer does not
  // depend on today's date: the daylight shift is always part of the bias.
  EXPECT_EQ(BiasIn("EST5EDT,0/0,J365/25"), 240);
  EXPECT_EQ(BiasIn("CET-1CEST,0/0,J365/25"), -120);
  // The same zones without daylight time in their rules.
  EXPECT_EQ(BiasIn("EST5"), 300);
  EXPECT_EQ(BiasIn("CET-1"), -60);
}

}  // namespace
}  // namespace platform::win32
