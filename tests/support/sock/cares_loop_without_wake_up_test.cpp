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
