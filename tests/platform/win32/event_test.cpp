#include "platform/win32/event.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace platform::win32 {
namespace {

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
  EventHandle event = CreateEventA(nullptr, true, false, nullptr);
  ASSERT_TRUE(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitTimeout);
  EXPECT_EQ(WaitForSingleObject(event, 20), kWaitTimeout);
  EXPECT_TRUE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitObject0);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitObject0);
  EXPECT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitTimeout);
  EXPECT_EQ(WaitForSingleObject(CreateEventA(nullptr, true, true, nullptr), 0), kWaitObject0);
}

TEST(EventTest, SetOnAnotherThreadReleasesEveryWaiterOfAManualEvent) {
  EventHandle event = CreateEventA(nullptr, true, false, nullptr);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, kInfinite) == kWaitObject0) ++released;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(released, 0);
  SetEvent(event);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released, 3);
}

TEST(EventTest, AutoResetReleasesOneWaiterPerSet) {
  EventHandle event = CreateEventA(nullptr, false, false, nullptr);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 5000) == kWaitObject0) ++released;
    });
  }
  SetEvent(event);
  while (released < 1) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(released, 1);
  SetEvent(event);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released, 2);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitTimeout);  // used up by the waiters

  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitObject0);
  EXPECT_EQ(WaitForSingleObject(event, 0), kWaitTimeout);
}

TEST(EventTest, NamedEventsAreSharedAndEmptyHandlesFail) {
  EventHandle first = CreateEventA(nullptr, true, false, "hearth-test-event");
  EventHandle second = CreateEventA(nullptr, false, true, "hearth-test-event");
  EXPECT_EQ(first, second);
  EXPECT_TRUE(first->manual_reset());
  EXPECT_NE(CreateEventA(nullptr, true, false, ""), first);

  EventHandle empty;
  EXPECT_FALSE(SetEvent(empty));
  EXPECT_FALSE(ResetEvent(empty));
  EXPECT_EQ(WaitForSingleObject(empty, 0), kWaitFailed);
  EXPECT_FALSE(CloseHandle(empty));
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_FALSE(second);
  EXPECT_TRUE(CloseHandle(first));
  // The last handle gone, the name makes a new event.
  EventHandle fresh = CreateEventA(nullptr, false, false, "hearth-test-event");
  EXPECT_FALSE(fresh->manual_reset());
}

}  // namespace
}  // namespace platform::win32
