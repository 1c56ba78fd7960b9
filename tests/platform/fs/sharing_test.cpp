// Files held with sharing denied: every other opener is refused, in this
// process and in any other, and gets the file once it is released.
#include "platform/fs/sharing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "fs_fixture.h"
#include "platform/basic/err.h"
#include "platform/fs/basic_file_ops.h"
#include "platform/fs/durable.h"
#include "platform/fs/file_numbers.h"
#include "platform/fs/file_ops.h"
#include "testing/child_process.h"

namespace platform::fs {
namespace {

using SharingTest = FsTest;

TEST_F(SharingTest, ASecondOpenInThisProcessIsRefused) {
  Write("store.dat", "held");
  int held = OpenFile(Path("store.dat"), OpenMode::kBinary, Access::kDefault, Share::kDenyAll);
  ASSERT_NE(held, 0);
  for (Share share : {Share::kShared, Share::kDenyAll}) {
    int32_t error = 0;
    EXPECT_EQ(OpenFile(Path("store.dat"), OpenMode::kInput, Access::kDefault, share, &error), 0);
    EXPECT_EQ(error, kErrPermissionDenied);
  }
  // Basic Open raises 70 and leaves the number free.
  int number = FreeFile();
  Err::Clear();
  EXPECT_FALSE(Step([&] { Open(number, Path("store.dat"), OpenMode::kBinary); }));
  EXPECT_EQ(Err::Number(), kErrPermissionDenied);
  Err::Clear();
  EXPECT_FALSE(IsFileOpen(number));

  EXPECT_TRUE(CloseFile(held));
  int again = OpenFile(Path("store.dat"), OpenMode::kBinary, Access::kDefault, Share::kDenyAll);
  EXPECT_NE(again, 0);
}

TEST_F(SharingTest, SharingCannotBeDeniedWhileOthersHaveTheFileOpen) {
  Write("log.txt", "line\r\n");
  int reader = OpenFile(Path("log.txt"), OpenMode::kInput);
  ASSERT_NE(reader, 0);
  EXPECT_NE(OpenFile(Path("log.txt"), OpenMode::kAppend), 0);  // shared opens mix
  int32_t error = 0;
  EXPECT_EQ(OpenFile(Path("log.txt"), OpenMode::kBinary, Access::kDefault, Share::kDenyAll, &error), 0);
  EXPECT_EQ(error, kErrPermissionDenied);
}

TEST_F(SharingTest, ARefusedOutputOpenDoesNotEmptyTheHoldersFile) {
  Write("store.dat", "precious");
  ASSERT_NE(OpenFile(Path("store.dat"), OpenMode::kBinary, Access::kDefault, Share::kDenyAll), 0);
  EXPECT_EQ(OpenFile(Path("store.dat"), OpenMode::kOutput), 0);
  EXPECT_EQ(Read("store.dat"), "precious");
}

TEST_F(SharingTest, AnotherProcessIsRefusedUntilTheFileIsReleased) {
  Write("store.dat", "held");
  const std::string path = Path("store.dat");
  // The child answers 0 when it could open the file, 2 when it was refused
  // with Permission denied.
  auto try_in_child = [&](Share share) {
    return testing_support::RunInChild([&] {
      int32_t error = 0;
      int number = OpenFile(path, OpenMode::kBinary, Access::kDefault, share, &error);
      if (number != 0) return 0;
      return error == kErrPermissionDenied ? 2 : 1;
    });
  };
  int held = OpenFile(path, OpenMode::kBinary, Access::kDefault, Share::kDenyAll);
  ASSERT_NE(held, 0);
  EXPECT_EQ(try_in_child(Share::kShared), 2);
  EXPECT_EQ(try_in_child(Share::kDenyAll), 2);
  ASSERT_TRUE(CloseFile(held));
  EXPECT_EQ(try_in_child(Share::kDenyAll), 0);
}

TEST_F(SharingTest, AHeldFileCanBeNeitherDeletedNorReplacedNorCopied) {
  Write("store.dat", "held");
  Write("other.dat", "other");
  const std::string path = Path("store.dat");
  int held = OpenFile(path, OpenMode::kBinary, Access::kDefault, Share::kDenyAll);
  ASSERT_NE(held, 0);

  EXPECT_TRUE(IsHeldWithSharingDenied(path));
  EXPECT_FALSE(DeleteFile(path));
  EXPECT_FALSE(RenameReplacing(path, Path("moved.dat")));
  EXPECT_FALSE(RenameReplacing(Path("other.dat"), path));
  EXPECT_FALSE(CopyFile(path, Path("copy.dat")));
  EXPECT_FALSE(CopyFile(Path("other.dat"), path));
  EXPECT_FALSE(WriteFileDurably(path, "replaced"));
  EXPECT_FALSE(AppendToFile(path, "more"));
  EXPECT_FALSE(ReadWholeFile(path).has_value());
  Err::Clear();
  EXPECT_FALSE(Step([&] { Kill(path); }));
  EXPECT_EQ(Err::Number(), kErrPermissionDenied);
  Err::Clear();
  EXPECT_FALSE(Step([&] { Name(path, Path("named.dat")); }));
  EXPECT_EQ(Err::Number(), kErrPermissionDenied);
  Err::Clear();

  // Another process cannot delete it either.
  EXPECT_EQ(testing_support::RunInChild([&] { return DeleteFile(path) ? 0 : 2; }), 2);
  EXPECT_EQ(ReadAt(held, 0, 100), "held");

  CloseFile(held);
  EXPECT_FALSE(IsHeldWithSharingDenied(path));
  EXPECT_TRUE(DeleteFile(path));
}

TEST_F(SharingTest, OnlyRegularFilesOpen) {
  MakeFolder(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  int error = 0;
  EXPECT_EQ(OpenWithSharing(Path("folder"), O_RDONLY, 0, Share::kShared, &error), -1);
  EXPECT_EQ(error, EISDIR);
  // A FIFO without a writer would block an ordinary open.
  EXPECT_EQ(OpenWithSharing(Path("fifo"), O_RDONLY, 0, Share::kShared, &error), -1);
  EXPECT_EQ(error, EINVAL);
  int32_t basic_error = 0;
  EXPECT_EQ(OpenFile(Path("folder"), OpenMode::kBinary, Access::kDefault, Share::kShared, &basic_error), 0);
  EXPECT_EQ(basic_error, kErrPathFileAccess);
}

}  // namespace
}  // namespace platform::fs
