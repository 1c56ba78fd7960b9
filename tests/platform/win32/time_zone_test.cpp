#include "platform/win32/time_zone.h"

#include <gtest/gtest.h>

#include "testing/time_zone.h"

namespace platform::win32 {
namespace {

class TimeZoneTest : public ::testing::Test {
 protected:
  int32_t BiasIn(const char* tz) {
    time_zone_.Use(tz);
    return GetTimeZoneBias();
  }
  testing_support::ScopedTimeZone time_zone_;
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
