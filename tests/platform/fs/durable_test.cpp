#include "platform/fs/durable.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <thread>

#include "fs_fixture.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/guarded_replace.h"
#include "platform/fs/sharing.h"
#include "platform/fs/stale_siblings.h"
#include "platform/fs/temp_sibling.h"
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

// A holder denying sharing that opens the file while a replace is between
// its check and its rename neither has the file swapped under it nor is
// refused: it waits for the replace and holds the new file.
TEST_F(DurableTest, AHolderArrivingDuringAReplaceGetsTheNewFile) {
  Write("live.exl", "old");
  const std::string path = Path("live.exl");
  std::promise<void> waiting;
  std::thread opener;
  int fd = -1;
  int error = 0;
  SetReplaceHooksForTesting(
      [&] {
        opener = std::thread([&] { fd = OpenWithSharing(path, O_RDWR, 0, Share::kDenyAll, &error); });
        waiting.get_future().wait();  // the opener met the replace and waits for it
      },
      [&] { waiting.set_value(); });
  EXPECT_TRUE(WriteFileDurably(path, "new"));
  opener.join();
  SetReplaceHooksForTesting({}, {});
  ASSERT_GE(fd, 0) << "refused: errno " << error;
  struct stat held {}, named {};
  ASSERT_EQ(::fstat(fd, &held), 0);
  ASSERT_EQ(::stat(path.c_str(), &named), 0);
  EXPECT_EQ(held.st_ino, named.st_ino) << "the holder has a file that is no longer there";
  char bytes[8] = {};
  EXPECT_EQ(::pread(fd, bytes, sizeof bytes, 0), 3);
  EXPECT_EQ(std::string(bytes), "new");
  // While it holds the file every replace is refused and changes nothing.
  EXPECT_FALSE(WriteFileDurably(path, "later"));
  Write("work.exb", "work");
  EXPECT_FALSE(ReplaceFileDurably(Path("work.exb"), path));
  EXPECT_FALSE(RenameReplacing(Path("work.exb"), path));
  EXPECT_EQ(::fstat(fd, &held), 0);
  EXPECT_EQ(::stat(path.c_str(), &named), 0);
  EXPECT_EQ(held.st_ino, named.st_ino);
  ::close(fd);
  EXPECT_TRUE(ReplaceFileDurably(Path("work.exb"), path));
  EXPECT_EQ(Read("live.exl"), "work");
}

// An open that found the name given to a new file between its open and its
// lock opens again: it never holds a file that is no longer there.
TEST_F(DurableTest, AnOpenRacingAReplaceHoldsTheFileAtTheName) {
  Write("live.exl", "0");
  const std::string path = Path("live.exl");
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 1; !stop; ++i) WriteFileDurably(path, std::to_string(i));
  });
  int stale = 0, refused = 0;
  for (int i = 0; i < 300; ++i) {
    int fd = OpenWithSharing(path, O_RDONLY, 0, Share::kDenyAll, nullptr);
    if (fd < 0) {
      ++refused;
      continue;
    }
    struct stat held {}, named {};
    ::fstat(fd, &held);
    if (::stat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino) ++stale;
    ::close(fd);
  }
  stop = true;
  writer.join();
  EXPECT_EQ(stale, 0);
  EXPECT_EQ(refused, 0);
}

int FailingSync(int) {
  errno = EIO;
  return -1;
}
int UnsupportedSync(int) {
  errno = EINVAL;
  return -1;
}

TEST_F(DurableTest, AFailedFolderFlushIsReported) {
  struct Case {
    const char* name;
    int (*sync)(int);
    bool result;
  };
  const Case cases[] = {
      {"flushed", nullptr, true},
      {"EIO", &FailingSync, false},
      {"not supported", &UnsupportedSync, true},
  };
  for (const Case& c : cases) {
    SetFolderSyncForTesting(c.sync);
    EXPECT_EQ(WriteFileDurably(Path("a.dat"), c.name), c.result) << c.name;
    Write("work.dat", "w");
    EXPECT_EQ(ReplaceFileDurably(Path("work.dat"), Path("b.dat")), c.result) << c.name;
    EXPECT_EQ(SyncFolder(root_.str()), c.result) << c.name;
  }
  SetFolderSyncForTesting(nullptr);
  EXPECT_FALSE(SyncFolder(Path("missing")));
}

TEST(StaleSiblingsTest, WorkFileNamesAndTheirOwners) {
  struct Case {
    const char* name;
    long owner;
  };
  const Case cases[] = {
      {".store.dat.tmp-1234-0", 1234},
      {".a.tmp-b.tmp-77-12", 77},
      {"store.dat.tmp-1234-0", 0},  // not hidden
      {".store.dat.tmp-12x-0", 0},
      {".store.dat.tmp-1234-", 0},
      {".store.dat.tmp-1234", 0},
      {".tmp-1-1", 0},  // no name before the marker
      {".x.tmp-0-1", 0},
      {".", 0},
      {"..", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(WorkFileOwner(c.name), c.owner) << c.name;
}

// A writer killed in the middle of a write leaves its work file; the next
// write into the folder removes it, and leaves live writers' files alone.
TEST_F(DurableTest, WorkFilesOfAKilledWriterAreSweptAtTheNextWrite) {
  const std::string mine = "." + std::string("x.dat.tmp-") + std::to_string(::getpid()) + "-999";
  const std::string live = ".y.dat.tmp-" + std::to_string(::getppid()) + "-1";
  Write(mine, "mine");
  Write(live, "live");
  Write("not.tmp-1-2", "plain");
  pid_t writer = testing_support::StartChild([&] {
    TempSibling sibling(Path("store.dat"));
    sibling.Write("half");
    ::raise(SIGKILL);  // no destructor runs
    return 0;
  });
  testing_support::WaitChild(writer);
  const std::string left = ".store.dat.tmp-" + std::to_string(writer) + "-";
  auto count_left = [&] {
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root_.path())) {
      if (entry.path().filename().string().rfind(left, 0) == 0) ++found;
    }
    return found;
  };
  ASSERT_EQ(count_left(), 1);
  ASSERT_TRUE(WriteFileDurably(Path("other.dat"), "x"));
  EXPECT_EQ(count_left(), 0);
  EXPECT_TRUE(PathExists(Path(mine)));
  EXPECT_TRUE(PathExists(Path(live)));
  EXPECT_TRUE(PathExists(Path("not.tmp-1-2")));
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
