// Writes that fail part-way (a full disk, a failing device), played through
// the write hook: nothing half-written stays in a log to hide later entries,
// and what was already written is never cut off.
#include "secure_log_fixture.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/basic/err.h"

namespace support {
namespace {

class SecureLogWriteFailureTest : public SecureLogTest {
 protected:
  void TearDown() override {
    SetSecureLogWriteForTesting({});
    SetSecureLogPathLookIntervalForTesting(std::chrono::seconds(1));
    SecureLogTest::TearDown();
  }
  // From the `fail_at`th write on (counting from 1) that is at least
  // `min_size` bytes long: half of it is written, then the disk is full.
  void FailWrites(int fail_at, size_t min_size = 0) {
    SetSecureLogWriteForTesting([this, fail_at, min_size](int fd, const void* data, size_t size) -> ssize_t {
      if (size < min_size || ++counted_ < fail_at) return ::write(fd, data, size);
      if (size > 1 && !half_written_) {
        half_written_ = true;
        return ::write(fd, data, size / 2);
      }
      errno = ENOSPC;
      return -1;
    });
  }
  static bool Raises(const std::function<void()>& call, const std::string& words) {
    try {
      call();
    } catch (const platform::BasicError& error) {
      EXPECT_NE(error.description().find(words), std::string::npos) << error.description();
      platform::Err::Clear();
      return true;
    }
    return false;
  }

  int counted_ = 0;
  bool half_written_ = false;
};

TEST_F(SecureLogWriteFailureTest, AFailedAppendLeavesNothingBehindAndTheChainGoesOn) {
  auto log = OpenLog();
  log->Append("first");
  const std::string before = ReadFileBytes(LogFile());

  FailWrites(1);
  EXPECT_TRUE(Raises([&] { log->Append("second, never acknowledged"); }, "cannot append to"));
  EXPECT_TRUE(half_written_);
  EXPECT_EQ(ReadFileBytes(LogFile()), before);

  SetSecureLogWriteForTesting({});
  log->Append("third");
  OpenLog()->Append("fourth");  // another object finds one clean chain too
  Inspected inspection = Inspect();
  EXPECT_EQ(inspection.entries, (std::vector<std::string>{"first", "third", "fourth"}));
  EXPECT_TRUE(inspection.problems.empty());
  EXPECT_TRUE(Diagnostics().empty());
}

TEST_F(SecureLogWriteFailureTest, AFailedMarkLeavesTheEntriesAndTheirReadMarkCanBeSavedAgain) {
  auto log = OpenLog();
  log->Append("a");
  log->Append("b");
  FailWrites(1);
  EXPECT_TRUE(Raises([&] { log->GetEntries(true, true); }, "cannot append to"));
  SetSecureLogWriteForTesting({});
  // The state file was saved before the mark record that mirrors it; the
  // next read saves both again.
  EXPECT_EQ(log->GetEntries(true, true), "a\r\nb\r\n");
  EXPECT_EQ(log->GetEntries(true, true), "");
  log->Append("c");
  Inspected inspection = Inspect();
  EXPECT_EQ(inspection.entries, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(inspection.read, 2u);
}

// A log moved or removed by hand is not written to for long where nobody
// reads it: once the path is looked at again (within a second; at once
// here), the next operation writes to a log at the log's path.
TEST_F(SecureLogWriteFailureTest, ALogMovedOrRemovedByHandIsNotWrittenToAnyMore) {
  SetSecureLogPathLookIntervalForTesting(std::chrono::milliseconds(0));
  auto log = OpenLog();
  log->Append("a");
  std::filesystem::rename(LogFile(), root_ / "logs" / "moved-by-hand");
  log->Append("b");
  EXPECT_TRUE(std::filesystem::exists(LogFile()));
  EXPECT_EQ(Inspect().entries, std::vector<std::string>{"b"});
  EXPECT_EQ(log->GetEntries(false, false), "b\r\n");

  std::filesystem::remove(LogFile());
  log->Append("c");
  EXPECT_EQ(Inspect().entries, std::vector<std::string>{"c"});
}

}  // namespace
}  // namespace support
