#include "platform/fs/attributes.h"

#include <sys/stat.h>

#include "fs_fixture.h"
#include "platform/fs/file_times.h"
#include "testing/time_zone.h"

namespace platform::fs {
namespace {

using AttributesTest = FsTest;

TEST_F(AttributesTest, AttributesFromModeNameAndKind) {
  Write("plain.txt", "p");
  Write(".hidden", "h");
  Write("ro.txt", "r");
  ::chmod(Path("ro.txt").c_str(), 0444);
  std::filesystem::create_directories(root_ / ".hiddendir");
  EXPECT_EQ(FileAttributes(Path("plain.txt")), kNormal);
  EXPECT_EQ(FileAttributes(Path(".hidden")), kHidden);
  EXPECT_EQ(FileAttributes(Path("ro.txt")), kReadOnly);
  EXPECT_EQ(FileAttributes(Path(".hiddendir")), kDirectory | kHidden);
  EXPECT_EQ(FileAttributes(Path(".hiddendir/")), kDirectory | kHidden);
  EXPECT_EQ(FileAttributes(root_.str()), kDirectory);
  EXPECT_EQ(FileAttributes(Path("missing")), kInvalidAttributes);
  EXPECT_EQ(FileAttributes(""), kInvalidAttributes);
}

TEST_F(AttributesTest, OnlyTheReadOnlyBitCanBeSet) {
  Write("f.txt", "f");
  ::chmod(Path("f.txt").c_str(), 0664);
  ASSERT_TRUE(SetFileAttributes(Path("f.txt"), kReadOnly | kArchive | kSystem));
  struct stat st {};
  ::stat(Path("f.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_EQ(FileAttributes(Path("f.txt")), kReadOnly);
  ASSERT_TRUE(SetFileAttributes(Path("f.txt"), kNormal));  // "clear its attributes"
  ::stat(Path("f.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_FALSE(SetFileAttributes(Path("missing"), kNormal));
}

class LastWriteTimeTest : public FsTest {
 protected:
  void UseZone(const char* tz) { time_zone_.Use(tz); }
  testing_support::ScopedTimeZone time_zone_;
};

TEST_F(LastWriteTimeTest, SetAndReadBackToTheNanosecond) {
  Write("f.txt", "f");
  auto when = FileClock::time_point(std::chrono::seconds(1600000000) + std::chrono::microseconds(123456));
  ASSERT_TRUE(SetLastWriteTime(Path("f.txt"), when));
  EXPECT_EQ(LastWriteTime(Path("f.txt")), when);
  EXPECT_FALSE(LastWriteTime(Path("missing")).has_value());
  EXPECT_FALSE(SetLastWriteTime(Path("missing"), when));
}

TEST_F(LastWriteTimeTest, FileDateTimeIsALocalDateSerial) {
  Write("f.txt", "f");
  // 2 January 2020 03:04:05 UTC.
  ASSERT_TRUE(SetLastWriteTime(Path("f.txt"), FileClock::time_point(std::chrono::seconds(1577934245))));
  const double time_of_day = (3 * 3600 + 4 * 60 + 5) / 86400.0;
  UseZone("UTC0");
  EXPECT_NEAR(FileDateTime(Path("f.txt")), 43832 + time_of_day, 1e-9);
  UseZone("EST5");  // 1 January 2020 22:04:05
  EXPECT_NEAR(FileDateTime(Path("f.txt")), 43831 + time_of_day + 19.0 / 24, 1e-9);
  EXPECT_EQ(FileDateTime(Path("missing")), 0.0);
}

TEST_F(LastWriteTimeTest, SerialsBeforeTheEpochDayCountTimeForwards) {
  UseZone("UTC0");
  // 29 December 1899 06:00 UTC is -1.25 in Basic, not -0.75.
  auto when = FileClock::time_point(std::chrono::seconds(-2209161600LL - 86400 + 6 * 3600));
  EXPECT_DOUBLE_EQ(LocalDateSerial(when), -1.25);
  EXPECT_DOUBLE_EQ(LocalDateSerial(FileClock::time_point(std::chrono::seconds(-2209161600LL))), 0.0);
}

}  // namespace
}  // namespace platform::fs
