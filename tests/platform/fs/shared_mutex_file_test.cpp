// The shared mutex file: one lock for every opener, handed on when a holder
// dies, made anew when an earlier boot left it held.
#include "platform/fs/shared_mutex_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "testing/child_process.h"
#include "testing/temp_root.h"

namespace platform::fs {
namespace {

using Taken = SharedMutexFile::Taken;

class SharedMutexFileTest : public ::testing::Test {
 protected:
  std::string Path() const { return (root_ / "guard.lock").string(); }
  testing_support::TempRoot root_;
};

TEST_F(SharedMutexFileTest, TwoOpenersShareOneLockAndOneCounter) {
  SharedMutexFile first, second;
  ASSERT_TRUE(first.Open(Path()));
  ASSERT_TRUE(second.Open(Path()));
  ASSERT_EQ(first.Lock(), Taken::kTaken);
  EXPECT_EQ(first.Bump(), 1u);
  // The other opener waits until the holder lets go.
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    EXPECT_EQ(second.Lock(), Taken::kTaken);
    taken = true;
    EXPECT_EQ(second.Changes(), 1u);
    second.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(taken);
  first.Unlock();
  waiter.join();
  EXPECT_TRUE(taken);
  // Asking again for a lock this thread holds fails instead of hanging.
  ASSERT_EQ(first.Lock(), Taken::kTaken);
  EXPECT_EQ(second.Lock(), Taken::kFailed);
  first.Unlock();
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "guard.lock").size() > 0, true);
}

TEST_F(SharedMutexFileTest, AHolderKilledWhileHoldingHandsTheLockOn) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = testing_support::StartChild([&] {
    SharedMutexFile lock;
    if (!lock.Open(Path()) || lock.Lock() != Taken::kTaken) return 1;
    char byte = 1;
    if (::write(ready[1], &byte, 1) != 1) return 1;
    ::pause();
    return 0;
  });
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::kill(child, SIGKILL);
  testing_support::WaitChild(child);
  ::close(ready[0]);
  ::close(ready[1]);

  SharedMutexFile lock;
  ASSERT_TRUE(lock.Open(Path()));
  const uint64_t before = lock.Changes();
  EXPECT_EQ(lock.Lock(), Taken::kOwnerDied);
  EXPECT_EQ(lock.Changes(), before + 1);  // counts as a change
  lock.Unlock();
  EXPECT_EQ(lock.Lock(), Taken::kTaken);
  lock.Unlock();
}

TEST_F(SharedMutexFileTest, AFileLeftByAnEarlierBootOrCutShortIsMadeAnew) {
  {
    SharedMutexFile lock;
    ASSERT_TRUE(lock.Open(Path()));
    ASSERT_EQ(lock.Lock(), Taken::kTaken);
    lock.Bump();
    lock.Unlock();
  }
  // As a machine that went down while a holder had the lock leaves it: the
  // lock word names a live thread that will never let go (here pid 1), under
  // another boot's identity.
  std::string bytes = testing_support::ReadFileBytes(root_ / "guard.lock");
  ASSERT_GE(bytes.size(), 64u);
  const int32_t holder = 1;
  std::memcpy(bytes.data() + 56, &holder, sizeof holder);  // magic (16), boot id (40), then the mutex
  std::memcpy(bytes.data() + 16, "00000000-0000-0000-0000-000000000000", 36);
  testing_support::WriteFileBytes(root_ / "guard.lock", bytes);
  {
    SharedMutexFile lock;
    ASSERT_TRUE(lock.Open(Path()));
    EXPECT_EQ(lock.Changes(), 0u);
    EXPECT_EQ(lock.Lock(), Taken::kTaken);
    lock.Unlock();
  }
  testing_support::WriteFileBytes(root_ / "guard.lock", bytes.substr(0, 20));
  SharedMutexFile lock;
  ASSERT_TRUE(lock.Open(Path()));
  EXPECT_EQ(lock.Lock(), Taken::kTaken);
  lock.Unlock();
}

TEST_F(SharedMutexFileTest, AFolderThatCannotHoldTheFileFails) {
  SharedMutexFile lock;
  EXPECT_FALSE(lock.Open((root_ / "missing/guard.lock").string()));
  EXPECT_FALSE(lock.IsOpen());
  EXPECT_EQ(lock.Lock(), Taken::kFailed);
}

}  // namespace
}  // namespace platform::fs
