#include "platform/fs/durable.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "fs_fixture.h"
#include "platform/fs/file_ops.h"
#include "testing/child_process.h"

namespace platform::fs {
namespace {

using DurableTest = FsTest;

TEST_F(DurableTest, WriteReplacesContentsAndKeepsPermissions) {
  Write("settings.exl", "old contents, longer than the new");
  ::chmod(Path("settings.exl").c_str(), 0600);
  ASSERT_TRUE(WriteFileDurably(Path("settings.exl"), std::string_view("new\0bytes", 9)));
  EXPECT_EQ(Read("settings.exl"), std::string("new\0bytes", 9));
  struct stat st {};
  ASSERT_EQ(::stat(Path("settings.exl").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ASSERT_TRUE(WriteFileDurably(Path("fresh.bin"), std::span<const uint8_t>()));
  EXPECT_EQ(FileSize(Path("fresh.bin")), 0);
  EXPECT_FALSE(WriteFileDurably(Path("missing/x.bin"), "x"));
  MakeFolder(Path("folder"));
  EXPECT_FALSE(WriteFileDurably(Path("folder"), "x"));
  EXPECT_TRUE(FolderExists(Path("folder")));
}

TEST_F(DurableTest, AKilledWriterLeavesTheOldOrTheNewFile) {
  const std::string old_bytes(256 * 1024, 'o');
  const std::string new_bytes(4 * 1024 * 1024, 'n');
  Write("store.dat", old_bytes);
  const std::string path = Path("store.dat");
  for (int delay_us : {0, 500, 2000, 8000, 30000}) {
    pid_t writer = testing_support::StartChild([&] {
      for (;;) WriteFileDurably(path, new_bytes);
      return 0;
    });
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
    ::kill(writer, SIGKILL);
    testing_support::WaitChild(writer);
    std::string now = Read("store.dat");
    EXPECT_TRUE(now == old_bytes || now == new_bytes) << "size " << now.size() << " after " << delay_us << "us";
  }
}

TEST_F(DurableTest, ReplaceMovesAWorkFileOverTheLiveFile) {
  Write("live.exl", "old");
  Write("work.exb", "new");
  ASSERT_TRUE(ReplaceFileDurably(Path("work.exb"), Path("live.exl")));
  EXPECT_EQ(Read("live.exl"), "new");
  EXPECT_FALSE(PathExists(Path("work.exb")));
  EXPECT_FALSE(ReplaceFileDurably(Path("work.exb"), Path("live.exl")));
  EXPECT_TRUE(SyncPath(Path("live.exl")));
  EXPECT_TRUE(SyncPath(root_.str()));
  EXPECT_FALSE(SyncPath(Path("missing")));
}

TEST_F(DurableTest, ReadWholeFileAndAppend) {
  EXPECT_FALSE(ReadWholeFile(Path("log.txt")).has_value());
  ASSERT_TRUE(AppendToFile(Path("log.txt"), "one\r\n"));
  ASSERT_TRUE(AppendToFile(Path("log.txt"), "two\r\n"));
  EXPECT_EQ(ReadWholeFile(Path("log.txt")), "one\r\ntwo\r\n");
  EXPECT_EQ(ReadWholeFile(Path("empty")), std::nullopt);
  Write("empty", "");
  EXPECT_EQ(ReadWholeFile(Path("empty")), "");
  EXPECT_FALSE(AppendToFile(Path("missing/log.txt"), "x"));
}

TEST_F(DurableTest, ConcurrentAppendersLoseNoLine) {
  const std::string path = Path("hearth.log");
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) AppendToFile(path, "thread " + std::to_string(t) + " line\r\n");
    });
  }
  for (auto& writer : writers) writer.join();
  std::string all = Read("hearth.log");
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 800);
  EXPECT_EQ(all.size(), 800u * std::string("thread 0 line\r\n").size());
}

}  // namespace
}  // namespace platform::fs
