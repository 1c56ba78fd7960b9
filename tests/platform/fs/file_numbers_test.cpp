#include "platform/fs/file_numbers.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "fs_fixture.h"
#include "platform/basic/err.h"
#include "platform/fs/basic_file_io.h"

namespace platform::fs {
namespace {

using FileNumbersTest = FsTest;

TEST_F(FileNumbersTest, NumbersAreHandedOutLowestFirstAndReused) {
  EXPECT_EQ(FreeFile(), 1);
  EXPECT_EQ(FreeFile(), 1);  // not opened yet: the same number again
  Open(1, Path("a.txt"), OpenMode::kOutput);
  EXPECT_EQ(FreeFile(), 2);
  Open(2, Path("b.txt"), OpenMode::kOutput);
  EXPECT_EQ(OpenFile(Path("c.txt"), OpenMode::kOutput), 3);
  EXPECT_TRUE(CloseFile(1));
  EXPECT_FALSE(CloseFile(1));
  EXPECT_FALSE(IsFileOpen(1));
  EXPECT_EQ(FreeFile(), 1);
  EXPECT_EQ(OpenFile(Path("d.txt"), OpenMode::kOutput), 4);  // 1 is kept for FreeFile's caller
  Open(1, Path("a.txt"), OpenMode::kInput);
  EXPECT_EQ(OpenFilePath(1), Path("a.txt"));
  CloseAllFiles();
  for (int number = 1; number <= 4; ++number) EXPECT_FALSE(IsFileOpen(number));
}

TEST_F(FileNumbersTest, TwoThreadsNeverGetTheSameFreeNumber) {
  int first = 0, second = 0;
  std::thread a([&] { first = FreeFile(); });
  a.join();
  std::thread b([&] { second = FreeFile(); });
  b.join();
  // The first thread ended without opening: its number went back.
  EXPECT_EQ(first, second);

  std::vector<int> numbers(8);
  std::vector<std::thread> threads;
  std::atomic<int> numbered{0};
  std::mutex gate;
  gate.lock();
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      numbers[t] = FreeFile();
      numbered.fetch_add(1);
      std::lock_guard wait(gate);  // hold the number until all have one
      Open(numbers[t], Path("f" + std::to_string(t)), OpenMode::kOutput);
    });
  }
  while (numbered.load() < 8) std::this_thread::yield();
  gate.unlock();
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::set<int>(numbers.begin(), numbers.end()).size(), 8u);
}

TEST_F(FileNumbersTest, OpenErrorsAreBasicErrors) {
  Write("exists.txt", "x");
  Open(5, Path("exists.txt"), OpenMode::kInput);
  std::filesystem::create_directories(root_ / "folder");
  struct Case {
    int number;
    std::string path;
    OpenMode mode;
    int32_t error;
  } cases[] = {
      {0, Path("exists.txt"), OpenMode::kInput, kErrBadFileNumber},
      {512, Path("exists.txt"), OpenMode::kInput, kErrBadFileNumber},
      {5, Path("exists.txt"), OpenMode::kInput, kErrFileAlreadyOpen},
      {6, Path("missing.txt"), OpenMode::kInput, kErrFileNotFound},
      {6, Path("nowhere/x.txt"), OpenMode::kOutput, kErrPathNotFound},
      {6, Path("folder"), OpenMode::kBinary, kErrPathFileAccess},
      {6, "", OpenMode::kBinary, kErrFileNotFound},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { Open(c.number, c.path, c.mode); }), c.error) << c.number << " " << c.path;
  }
  EXPECT_FALSE(IsFileOpen(6));
  EXPECT_FALSE(std::filesystem::exists(root_ / "missing.txt"));
}

// The number is checked before the file is touched: an Output open that is
// refused must not have emptied the file first.
TEST_F(FileNumbersTest, ARefusedOpenLeavesTheFileAsItWas) {
  Write("keep.txt", "seventeen bytes!!");
  std::promise<int> kept;
  std::promise<void> done;
  std::thread other([&] {
    kept.set_value(FreeFile());  // held for that thread while it lives
    done.get_future().wait();
  });
  int number = kept.get_future().get();
  EXPECT_EQ(ErrorOf([&] { Open(number, Path("keep.txt"), OpenMode::kOutput); }), kErrBadFileNumber);
  EXPECT_EQ(Read("keep.txt"), "seventeen bytes!!");
  Open(7, Path("keep.txt"), OpenMode::kInput);
  EXPECT_EQ(ErrorOf([&] { Open(7, Path("keep.txt"), OpenMode::kOutput); }), kErrFileAlreadyOpen);
  EXPECT_EQ(Read("keep.txt"), "seventeen bytes!!");
  done.set_value();
  other.join();
}

TEST_F(FileNumbersTest, RunningOutOfNumbersIsTooManyFiles) {
  Write("shared.txt", "x");
  for (int i = 1; i <= kMaxFileNumber; ++i) ASSERT_EQ(OpenFile(Path("shared.txt"), OpenMode::kInput), i);
  int32_t error = 0;
  EXPECT_EQ(OpenFile(Path("shared.txt"), OpenMode::kInput, Access::kDefault, Share::kShared, &error), 0);
  EXPECT_EQ(error, kErrTooManyFiles);
  EXPECT_EQ(ErrorOf([] { FreeFile(); }), kErrTooManyFiles);
  CloseFile(300);
  EXPECT_EQ(FreeFile(), 300);
}

TEST_F(FileNumbersTest, ZeroBasedReadsAndWrites) {
  int n = OpenFile(Path("data.bin"), OpenMode::kBinary);
  ASSERT_NE(n, 0);
  EXPECT_EQ(Tell(n), 0);
  EXPECT_TRUE(WriteAt(n, 0, "0123456789"));
  EXPECT_EQ(Tell(n), 10);
  EXPECT_TRUE(WriteNext(n, "AB"));
  EXPECT_TRUE(WriteAt(n, 20, "Z"));  // past the end: the gap fills with zeros
  EXPECT_EQ(FileLength(n), 21);
  EXPECT_EQ(ReadAt(n, 2, 3), "234");
  EXPECT_EQ(ReadNext(n, 4), std::string("5678"));
  EXPECT_EQ(ReadAt(n, 10, 100), std::string("AB\0\0\0\0\0\0\0\0Z", 11));  // short at the end
  EXPECT_EQ(ReadAt(n, 500, 4), "");
  EXPECT_EQ(ReadAt(n, 0, size_t{1} << 40)->size(), 21u);  // a wild length asks for no more than the file
  EXPECT_TRUE(SeekTo(n, 1));
  EXPECT_EQ(ReadNext(n, 1), "1");
  EXPECT_FALSE(SeekTo(n, -1));
  EXPECT_FALSE(ReadAt(n, -1, 1).has_value());
  EXPECT_FALSE(WriteAt(n, -1, "x"));
  EXPECT_TRUE(SyncFile(n));
  CloseFile(n);
  EXPECT_EQ(Read("data.bin"), std::string("0123456789AB\0\0\0\0\0\0\0\0Z", 21));

  // Numbers that are not open.
  EXPECT_FALSE(ReadAt(n, 0, 1).has_value());
  EXPECT_FALSE(WriteAt(n, 0, "x"));
  EXPECT_EQ(Tell(n), -1);
  EXPECT_EQ(FileLength(n), -1);
  EXPECT_FALSE(SyncFile(n));
  EXPECT_FALSE(ReadAt(-3, 0, 1).has_value());
}

TEST_F(FileNumbersTest, ModesDecideWhatMayBeDone) {
  Write("in.txt", "old text");
  int input = OpenFile(Path("in.txt"), OpenMode::kInput);
  EXPECT_FALSE(WriteAt(input, 0, "x"));
  EXPECT_EQ(ReadAt(input, 0, 3), "old");

  int output = OpenFile(Path("out.txt"), OpenMode::kOutput);
  EXPECT_FALSE(ReadAt(output, 0, 1).has_value());
  EXPECT_TRUE(WriteNext(output, "fresh"));

  Write("log.txt", "first\r\n");
  int append = OpenFile(Path("log.txt"), OpenMode::kAppend);
  EXPECT_EQ(Tell(append), 7);
  EXPECT_TRUE(WriteAt(append, 0, "second\r\n"));  // always at the end
  EXPECT_EQ(Read("log.txt"), "first\r\nsecond\r\n");

  int read_only = OpenFile(Path("in.txt"), OpenMode::kBinary, Access::kRead);
  EXPECT_FALSE(WriteAt(read_only, 0, "x"));
  EXPECT_EQ(OpenFile(Path("nothing.bin"), OpenMode::kBinary, Access::kRead), 0);
  int write_only = OpenFile(Path("w.bin"), OpenMode::kBinary, Access::kWrite);
  EXPECT_FALSE(ReadAt(write_only, 0, 1).has_value());

  Write("trunc.txt", "long old contents");
  CloseFile(OpenFile(Path("trunc.txt"), OpenMode::kOutput));
  EXPECT_EQ(Read("trunc.txt"), "");
}

TEST_F(FileNumbersTest, BasicStatementsCountPositionsFromOne) {
  int n = FreeFile();
  Open(n, Path("store.bin"), OpenMode::kBinary, Access::kReadWrite, Share::kDenyAll);
  EXPECT_EQ(Seek(n), 1);
  Put(n, 1, "HEADER");
  EXPECT_EQ(Seek(n), 7);
  Put(n, 0, "body");  // 0: at the current position
  EXPECT_EQ(LOF(n), 10);
  EXPECT_TRUE(Eof(n));
  Put(n, 3, "ad");
  EXPECT_EQ(Get(n, 1, 6), "HEadER");
  Seek(n, 7);
  EXPECT_FALSE(Eof(n));
  EXPECT_EQ(Get(n, 0, 2), "bo");
  EXPECT_EQ(Get(n, 9, 100), "dy");  // past the end: fewer bytes, no error
  Seek(n, LOF(n) + 1);
  PrintLine(n, "line");
  EXPECT_EQ(Read("store.bin"), "HEadERbodyline\r\n");

  Write("in.bin", "input");
  int in = OpenFile(Path("in.bin"), OpenMode::kInput);
  int out = OpenFile(Path("out.bin"), OpenMode::kOutput);
  struct Case {
    const char* what;
    std::function<void()> step;
    int32_t error;
  } cases[] = {
      {"Get on a closed number", [] { Get(400, 1, 1); }, kErrBadFileNumber},
      {"Put on a closed number", [] { Put(400, 1, "x"); }, kErrBadFileNumber},
      {"LOF on a closed number", [] { LOF(400); }, kErrBadFileNumber},
      {"Seek on a closed number", [] { Seek(400); }, kErrBadFileNumber},
      {"Eof on a closed number", [] { Eof(400); }, kErrBadFileNumber},
      {"negative position", [&] { Get(n, -1, 1); }, 63},
      {"Seek to 0", [&] { Seek(n, 0); }, 63},
      {"Put on Input", [&] { Put(in, 1, "x"); }, 54},
      {"Get on Output", [&] { Get(out, 1, 1); }, 54},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.step), c.error) << c.what;
}

}  // namespace
}  // namespace platform::fs
