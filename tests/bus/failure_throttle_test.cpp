// How failed password checks slow their caller, on a clock the test moves.
#include "bus/failure_throttle.h"

#include <gtest/gtest.h>

namespace bus {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class FailureThrottleTest : public ::testing::Test {
 protected:
  steady_clock::time_point now_ = steady_clock::time_point() + std::chrono::hours(1);
  FailureThrottle throttle_{ThrottlePolicy{}, [this] { return now_; }};
  milliseconds WaitOf(uid_t caller) {
    return std::chrono::duration_cast<milliseconds>(throttle_.NextCheckAt(caller) - now_);
  }
};

TEST_F(FailureThrottleTest, TheWaitGrowsAfterTheFreeFailuresUpToItsCeiling) {
  struct Case {
    int failures;
    long long wait_ms;
  } cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 1000}, {4, 2000}, {5, 4000}, {8, 32000}, {9, 60000}, {1000, 60000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failures);
    EXPECT_EQ(throttle_.DelayAfter(c.failures).count(), c.wait_ms);
  }
  for (int i = 0; i < 2; ++i) throttle_.Failed(1000);
  EXPECT_EQ(WaitOf(1000).count(), 0);
  throttle_.Failed(1000);  // the third: the next check waits
  EXPECT_EQ(WaitOf(1000).count(), 1000);
  now_ += milliseconds(400);
  EXPECT_EQ(WaitOf(1000).count(), 600);
  now_ += milliseconds(600);
  EXPECT_EQ(WaitOf(1000).count(), 0);
  throttle_.Failed(1000);
  EXPECT_EQ(WaitOf(1000).count(), 2000);
}

TEST_F(FailureThrottleTest, EachCallerHasItsOwnCountAndASuccessOrAQuietSpellClearsIt) {
  for (int i = 0; i < 5; ++i) throttle_.Failed(1000);
  EXPECT_EQ(WaitOf(1000).count(), 4000);
  EXPECT_EQ(WaitOf(1001).count(), 0);

  throttle_.Succeeded(1000);
  EXPECT_EQ(WaitOf(1000).count(), 0);
  throttle_.Failed(1000);
  EXPECT_EQ(WaitOf(1000).count(), 0);

  for (int i = 0; i < 5; ++i) throttle_.Failed(1002);
  now_ += std::chrono::minutes(15);
  EXPECT_EQ(WaitOf(1002).count(), 0);
  throttle_.Failed(1002);  // counts from one again
  EXPECT_EQ(WaitOf(1002).count(), 0);
}

}  // namespace
}  // namespace bus
