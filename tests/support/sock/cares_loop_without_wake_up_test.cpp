// The lookup loop without its wake-up (the process had no file descriptor
// left for it): questions are still answered and the loop still ends.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/sock/cares_loop.h"

namespace support {
namespace {

TEST(CaresLoopWithoutWakeUp, AnswersAndEnds) {
  CaresLoop::FailWakeUpForTesting(true);
  std::atomic<int> answered{0};
  {
    SockConfig config;
    config.lookups = "b";
    config.servers = "127.0.0.1:9";  // nobody answers there: the lookup fails fast
    config.timeout_ms = 200;
    config.tries = 1;
    CaresLoop loop(config,
                   [&](std::vector<CaresLoop::Completion>& finished) { answered += static_cast<int>(finished.size()); });
    // Let the loop fall asleep first: a question must still reach it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    loop.Forward("nowhere.test", 1);
    for (int i = 0; i < 500 && answered == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }  // and the loop ends here, rather than sleeping for ever
  CaresLoop::FailWakeUpForTesting(false);
  EXPECT_EQ(answered, 1);
}

}  // namespace
}  // namespace support

namespace support {
namespace {

// A caller blocking on a lookup must wait as long as c-ares may take: every
// try over every server, each round waiting twice as long as the one before.
TEST(CaresLoopLongestLookup, CoversEveryTryOfEveryServer) {
  struct Case {
    const char* servers;
    int timeout_ms;
    int tries;
    long long longest_ms;
  } cases[] = {
      {"127.0.0.1:9", 1000, 1, 1000},
      {"127.0.0.1:9", 1000, 3, 7000},              // 1 + 2 + 4 seconds
      {"127.0.0.1:9,127.0.0.1:10", 500, 2, 3000},  // 2 x (0.5 + 1)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.servers);
    SockConfig config;
    config.lookups = "b";
    config.servers = c.servers;
    config.timeout_ms = c.timeout_ms;
    config.tries = c.tries;
    CaresLoop loop(config, [](std::vector<CaresLoop::Completion>&) {});
    ASSERT_EQ(loop.setup_error(), "");
    EXPECT_EQ(loop.longest_lookup().count(), c.longest_ms);
  }
  // c-ares's own defaults are counted too: more than the one-minute bound
  // a silent lookup used to be given up at, with several servers.
  SockConfig defaults;
  defaults.lookups = "b";
  defaults.servers = "127.0.0.1:9,127.0.0.1:10,127.0.0.1:11";
  CaresLoop loop(defaults, [](std::vector<CaresLoop::Completion>&) {});
  EXPECT_GT(loop.longest_lookup().count(), 0);
}

}  // namespace
}  // namespace support
