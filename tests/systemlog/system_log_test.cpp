#include "systemlog/system_log.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <future>
#include <regex>
#include <thread>
#include <vector>

#include "platform/basic/err.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"
#include "testing/time_zone.h"

namespace service {
namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class SystemLogTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMachineRoot(root_.path()); }
  void TearDown() override { platform::SetMachineRoot({}); }
  std::filesystem::path LogDir() const { return root_ / "commonfiles/Norvale/QORC/log"; }
  testing_support::TempRoot root_;
};

TEST_F(SystemLogTest, LineHasStampTickMessageAndCrLf) {
  WriteSystemLog("SvcInit::Init - loading system settings");
  std::string text = ReadFileBytes(LogDir() / "hearth.log");
  std::regex line(R"(\[\d{6} \d{2}:\d{2}:\d{2}\] \[-?\d+\] SvcInit::Init - loading system settings\r\n)");
  EXPECT_TRUE(std::regex_match(text, line)) << text;
}

// 14 November 2023 22:13:20 UTC.
std::time_t FixedClock() { return 1700000000; }

TEST_F(SystemLogTest, TheStampIsTheLocalTimeOfTheLine) {
  testing_support::ScopedTimeZone zone("XST5");  // five hours behind UTC, no daylight time
  LogClock saved = SetLogClock(&FixedClock);
  // A fresh thread: no stamp of this second is remembered from before.
  std::thread([] { WriteSystemLog("SvcInit::Init - loading system settings"); }).join();
  SetLogClock(saved);
  std::string text = ReadFileBytes(LogDir() / "hearth.log");
  std::regex line(R"(\[231114 17:13:20\] \[-?\d+\] SvcInit::Init - loading system settings\r\n)");
  EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(SystemLogTest, EmptyMessageStartsANewLogWithTheCreatedLine) {
  WriteSystemLog("old run");
  WriteSystemLog("");
  std::string current = ReadFileBytes(LogDir() / "hearth.log");
  EXPECT_NE(current.find("] System service log created, version 2.01.007\r\n"), std::string::npos) << current;
  EXPECT_EQ(current.find("old run"), std::string::npos);
  EXPECT_NE(ReadFileBytes(LogDir() / "hearth.lo1").find("old run"), std::string::npos);
  EXPECT_EQ(LogCreatedMessage(), "System service log created, version 2.01.007");
}

TEST_F(SystemLogTest, ElevenStartsKeepTenFilesEachBeginningWithTheCreatedLine) {
  for (int start = 1; start <= 11; ++start) {
    WriteSystemLog("");
    WriteSystemLog("run " + std::to_string(start));
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(LogDir())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"hearth.lo1", "hearth.lo2", "hearth.lo3", "hearth.lo4", "hearth.lo5",
                                             "hearth.lo6", "hearth.lo7", "hearth.lo8", "hearth.lo9", "hearth.log"}));
  for (const auto& name : names) {
    std::string text = ReadFileBytes(LogDir() / name);
    EXPECT_NE(text.find("] System service log created"), std::string::npos) << name;
    EXPECT_LT(text.find("] System service log created"), text.find("\r\n")) << name;
  }
  EXPECT_NE(ReadFileBytes(LogDir() / "hearth.log").find("run 11"), std::string::npos);
  EXPECT_NE(ReadFileBytes(LogDir() / "hearth.lo9").find("run 2\r\n"), std::string::npos);
}

TEST_F(SystemLogTest, AGapInTheChainMovesUpByOne) {
  WriteFileBytes(LogDir() / "hearth.lo1", "one");
  WriteFileBytes(LogDir() / "hearth.lo3", "three");
  WriteFileBytes(LogDir() / "hearth.log", "current");
  RotateLogFiles("hearth.log", 9);
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo1"), "current");
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo2"), "one");
  EXPECT_FALSE(std::filesystem::exists(LogDir() / "hearth.lo3"));
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo4"), "three");
  EXPECT_FALSE(std::filesystem::exists(LogDir() / "hearth.log"));
}

TEST_F(SystemLogTest, AGenerationThatCannotGoIsNeverReplaced) {
  std::filesystem::create_directories(LogDir() / "hearth.lo9");  // the oldest cannot be deleted
  WriteFileBytes(LogDir() / "hearth.lo8", "eight");
  WriteFileBytes(LogDir() / "hearth.lo7", "seven");
  WriteFileBytes(LogDir() / "hearth.lo1", "one");
  WriteFileBytes(LogDir() / "hearth.log", "current");
  RotateLogFiles("hearth.log", 9);
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo8"), "eight");
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo7"), "seven");
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo2"), "one");
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo1"), "current");
  // With the chain full the current log cannot move and simply goes on.
  WriteFileBytes(LogDir() / "hearth.log", "next");
  for (int n = 3; n <= 6; ++n) WriteFileBytes(LogDir() / ("hearth.lo" + std::to_string(n)), std::to_string(n));
  RotateLogFiles("hearth.log", 9);
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.log"), "next");
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo1"), "current");
  EXPECT_EQ(ReadFileBytes(LogDir() / "hearth.lo8"), "eight");
}

TEST_F(SystemLogTest, AnUnwritableLogLosesTheLineQuietly) {
  std::filesystem::create_directories(LogDir() / "hearth.log");  // a folder where the file should be
  WriteSystemLog("lost");
  EXPECT_TRUE(std::filesystem::is_directory(LogDir() / "hearth.log"));
}

TEST_F(SystemLogTest, TheLogFollowsTheCommonFilesFolder) {
  testing_support::WriteFileBytes(root_ / "machine.conf", "CommonFilesFolder = shared/files\n");
  std::thread([] { WriteSystemLog("moved"); }).join();  // a thread that never wrote before
  EXPECT_NE(ReadFileBytes(root_ / "shared/files/Norvale/QORC/log/hearth.log").find("] moved\r\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(LogDir()));
}

TEST_F(SystemLogTest, ALogFolderRemovedMeanwhileIsMadeAgain) {
  WriteSystemLog("before");
  std::filesystem::remove_all(root_ / "commonfiles");
  WriteSystemLog("after");
  EXPECT_NE(ReadFileBytes(LogDir() / "hearth.log").find("] after\r\n"), std::string::npos);
}

TEST_F(SystemLogTest, ThePendingErrorOfTheCallerStays) {
  platform::Err::Set(91, "Object variable or With block variable not set");
  WriteSystemLog("");
  WriteSystemLog("a line");
  std::filesystem::create_directories(LogDir() / "hearth.lo9");  // a generation that cannot go
  WriteSystemLog("");
  EXPECT_EQ(platform::Err::Number(), 91);
  EXPECT_EQ(platform::Err::Description(), "Object variable or With block variable not set");
  platform::Err::Clear();
}

TEST_F(SystemLogTest, LinesFromManyThreadsNeverInterleave) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) WriteSystemLog("thread " + std::to_string(t) + " line " + std::string(100, 'x'));
    });
  for (auto& th : threads) th.join();
  std::string text = ReadFileBytes(LogDir() / "hearth.log");
  std::regex line(R"(\[\d{6} \d{2}:\d{2}:\d{2}\] \[-?\d+\] thread \d line x{100}\r)");
  size_t count = 0, start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++count)
    ASSERT_TRUE(std::regex_match(text.substr(start, end - start), line)) << text.substr(start, end - start);
  EXPECT_EQ(count, 800u);
}

// A thread keeps the log open between lines; whatever happened to the file
// in between, the next line goes to the file the path names at that moment.
TEST_F(SystemLogTest, TheNextLineGoesToTheFileThePathNamesNow) {
  const std::filesystem::path log = LogDir() / "hearth.log";
  const std::filesystem::path aside = LogDir() / "aside.log";
  struct Case {
    const char* what;
    std::function<void()> change;
    const char* left_aside;  // what the file moved aside holds afterwards; null when none is kept
  };
  const std::vector<Case> cases = {
      {"moved away, as a rotation by another program does", [&] { std::filesystem::rename(log, aside); }, "before"},
      {"deleted", [&] { std::filesystem::remove(log); }, nullptr},
      {"replaced by another file", [&] {
         std::filesystem::rename(log, aside);
         WriteFileBytes(LogDir() / "new.log", "");
         std::filesystem::rename(LogDir() / "new.log", log);
       }, "before"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(log);
    std::filesystem::remove(aside);
    WriteSystemLog("before");
    c.change();
    WriteSystemLog("after");
    const std::string text = ReadFileBytes(log);
    EXPECT_EQ(text.find("] before\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("] after\r\n"), std::string::npos) << text;
    if (c.left_aside) {
      const std::string moved = ReadFileBytes(aside);
      EXPECT_NE(moved.find(std::string("] ") + c.left_aside + "\r\n"), std::string::npos) << moved;
      EXPECT_EQ(moved.find("] after"), std::string::npos) << moved;
    }
  }
}

TEST_F(SystemLogTest, AThreadHoldingTheLogFollowsARotationMadeElsewhere) {
  std::promise<void> wrote_first, rotated;
  std::thread writer([&, rotated_now = rotated.get_future()]() mutable {
    WriteSystemLog("first of the writer");
    wrote_first.set_value();
    rotated_now.wait();
    WriteSystemLog("second of the writer");
  });
  wrote_first.get_future().wait();
  WriteSystemLog("");  // a new log, begun on another thread
  rotated.set_value();
  writer.join();
  const std::string current = ReadFileBytes(LogDir() / "hearth.log");
  EXPECT_NE(current.find("] System service log created, version "), std::string::npos) << current;
  EXPECT_NE(current.find("] second of the writer\r\n"), std::string::npos) << current;
  EXPECT_EQ(current.find("first of the writer"), std::string::npos) << current;
  const std::string older = ReadFileBytes(LogDir() / "hearth.lo1");
  EXPECT_NE(older.find("] first of the writer\r\n"), std::string::npos) << older;
  EXPECT_EQ(older.find("second of the writer"), std::string::npos) << older;
}

// Descriptors of this process open on the file at `path`.
int OpenDescriptorsOn(const std::filesystem::path& path) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), error);
    if (!error && target == path) ++count;
  }
  return count;
}

TEST_F(SystemLogTest, AThreadThatEndsLeavesNoLogOpen) {
  std::thread([] { WriteSystemLog("from a short-lived thread"); }).join();
  const std::filesystem::path log = std::filesystem::canonical(LogDir() / "hearth.log");
  EXPECT_EQ(OpenDescriptorsOn(log), 0);
  std::thread([] {
    WriteSystemLog("held while the thread runs");
    EXPECT_EQ(OpenDescriptorsOn(std::filesystem::canonical(
                  std::filesystem::path(SystemLogPath()))), 1);
  }).join();
  EXPECT_EQ(OpenDescriptorsOn(log), 0);
}

}  // namespace
}  // namespace service
