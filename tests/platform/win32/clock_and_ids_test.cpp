#include <time.h>
#include <unistd.h>

#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "platform/win32/sleep.h"
#include "platform/win32/thread_ids.h"
#include "platform/win32/tick_count.h"

namespace platform::win32 {
namespace {

TEST(TickCountTest, FollowsTheBootClockInSigned32Bits) {
  struct timespec boot {};
  ::clock_gettime(CLOCK_BOOTTIME, &boot);
  int32_t ticks = GetTickCount();
  int32_t expected = static_cast<int32_t>(
      static_cast<uint32_t>(static_cast<uint64_t>(boot.tv_sec) * 1000 + static_cast<uint64_t>(boot.tv_nsec) / 1000000));
  // The same clock read a moment later: equal up to the time between the reads.
  int32_t drift = static_cast<int32_t>(static_cast<uint32_t>(ticks) - static_cast<uint32_t>(expected));
  EXPECT_GE(drift, 0);
  EXPECT_LT(drift, 1000);
}

TEST(TickCountTest, NeverRunsBackwards) {
  int32_t previous = GetTickCount();
  for (int i = 0; i < 2000; ++i) {
    int32_t now = GetTickCount();
    EXPECT_GE(static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(previous)), 0);
    previous = now;
  }
}

TEST(SleepTest, SleepsAtLeastTheTimeAsked) {
  int32_t before = GetTickCount();
  Sleep(30);
  EXPECT_GE(static_cast<int32_t>(static_cast<uint32_t>(GetTickCount()) - static_cast<uint32_t>(before)), 30);
  Sleep(0);
}

TEST(ThreadIdsTest, HexIsUpperCaseWithoutLeadingZeros) {
  struct Case {
    uint32_t id;
    const char* text;
  } cases[] = {{0, "0"}, {0xA, "A"}, {0x1A2B, "1A2B"}, {0x00F00D, "F00D"}, {0xFFFFFFFF, "FFFFFFFF"}, {4096, "1000"}};
  for (const Case& c : cases) EXPECT_EQ(ThreadIdHex(c.id), c.text);
  EXPECT_TRUE(std::regex_match(ThreadIdHex(), std::regex("[1-9A-F][0-9A-F]*")));
}

TEST(ThreadIdsTest, EachThreadHasItsOwnKernelId) {
  uint32_t main_id = GetCurrentThreadId();
  EXPECT_EQ(main_id, static_cast<uint32_t>(::gettid()));
  EXPECT_EQ(ThreadIdHex(), ThreadIdHex(main_id));
  uint32_t other_id = 0;
  std::string other_hex;
  std::thread([&] {
    other_id = GetCurrentThreadId();
    other_hex = ThreadIdHex();
  }).join();
  EXPECT_NE(other_id, main_id);
  EXPECT_EQ(other_hex, ThreadIdHex(other_id));
  EXPECT_EQ(GetCurrentProcessId(), static_cast<uint32_t>(::getpid()));
}

}  // namespace
}  // namespace platform::win32
