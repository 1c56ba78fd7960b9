#include "platform/fs/file_ops.h"

#include <sys/stat.h>

#include "fs_fixture.h"
#include "platform/fs/file_times.h"

namespace platform::fs {
namespace {

using FileOpsTest = FsTest;

TEST_F(FileOpsTest, ExistsAndSizeTellFilesFromFolders) {
  Write("dir/file.bin", std::string(1234, 'x'));
  EXPECT_TRUE(FileExists(Path("dir/file.bin")));
  EXPECT_FALSE(FileExists(Path("dir")));
  EXPECT_TRUE(FolderExists(Path("dir")));
  EXPECT_FALSE(FolderExists(Path("dir/file.bin")));
  EXPECT_TRUE(PathExists(Path("dir")));
  EXPECT_EQ(FileSize(Path("dir/file.bin")), 1234);
  EXPECT_EQ(FileSize(Path("dir")), -1);
  EXPECT_EQ(FileSize(Path("missing")), -1);
}

TEST_F(FileOpsTest, BadPathsFailWithoutHarm) {
  const std::string with_nul("a\0b", 3);
  for (const std::string& bad : {std::string(), with_nul, std::string(5000, 'n')}) {
    EXPECT_FALSE(FileExists(bad));
    EXPECT_FALSE(FolderExists(bad));
    EXPECT_EQ(FileSize(bad), -1);
    EXPECT_FALSE(DeleteFile(bad));
    DeleteFileQuietly(bad);
    EXPECT_FALSE(RenameReplacing(bad, Path("x")));
    EXPECT_FALSE(CopyFile(bad, Path("x")));
    EXPECT_FALSE(MakeFolder(bad));
    EXPECT_FALSE(MakeFolderTree(bad));
    EXPECT_FALSE(RemoveFolder(bad));
  }
  EXPECT_FALSE(PathExists(Path("x")));
}

TEST_F(FileOpsTest, DeleteRemovesFilesButNeverFolders) {
  Write("a.txt", "a");
  Write("sub/b.txt", "b");
  EXPECT_TRUE(DeleteFile(Path("a.txt")));
  EXPECT_FALSE(PathExists(Path("a.txt")));
  EXPECT_FALSE(DeleteFile(Path("a.txt")));
  EXPECT_FALSE(DeleteFile(Path("sub")));
  EXPECT_TRUE(FileExists(Path("sub/b.txt")));
  DeleteFileQuietly(Path("missing"));
}

TEST_F(FileOpsTest, RenameReplacesAnExistingTarget) {
  Write("work.exb", "new contents");
  Write("live.exl", "old");
  ASSERT_TRUE(RenameReplacing(Path("work.exb"), Path("live.exl")));
  EXPECT_EQ(Read("live.exl"), "new contents");
  EXPECT_FALSE(PathExists(Path("work.exb")));
  EXPECT_FALSE(RenameReplacing(Path("work.exb"), Path("live.exl")));
  EXPECT_EQ(Read("live.exl"), "new contents");
}

TEST_F(FileOpsTest, RenameMovesFoldersAndIntoOtherFolders) {
  Write("big/file.dat", "data");
  MakeFolderTree(Path("prf/lfiles"));
  ASSERT_TRUE(RenameReplacing(Path("big/file.dat"), Path("prf/lfiles/file.dat")));
  EXPECT_EQ(Read("prf/lfiles/file.dat"), "data");
  ASSERT_TRUE(RenameReplacing(Path("prf"), Path("profile")));
  EXPECT_TRUE(FileExists(Path("profile/lfiles/file.dat")));
}

TEST_F(FileOpsTest, CopyKeepsBytesModeAndTimeAndHonoursOverwrite) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 7);
  Write("src.bin", bytes);
  ::chmod(Path("src.bin").c_str(), 0640);
  auto when = FileClock::time_point(std::chrono::seconds(1577934245));
  ASSERT_TRUE(SetLastWriteTime(Path("src.bin"), when));

  EXPECT_FALSE(CopyFile(Path("src.bin"), Path("missing/dst.bin")));
  ASSERT_TRUE(CopyFile(Path("src.bin"), Path("dst.bin")));
  EXPECT_EQ(Read("dst.bin"), bytes);
  struct stat st {};
  ASSERT_EQ(::stat(Path("dst.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(LastWriteTime(Path("dst.bin")), when);

  Write("other.bin", "other");
  EXPECT_FALSE(CopyFile(Path("other.bin"), Path("dst.bin"), /*overwrite=*/false));
  EXPECT_EQ(Read("dst.bin"), bytes);
  EXPECT_TRUE(CopyFile(Path("other.bin"), Path("dst.bin"), /*overwrite=*/true));
  EXPECT_EQ(Read("dst.bin"), "other");
  EXPECT_FALSE(CopyFile(Path("missing.bin"), Path("dst.bin")));
  EXPECT_FALSE(CopyFile(Path("other.bin"), Path("")));
}

TEST_F(FileOpsTest, CopyLeavesNoWorkFilesBehind) {
  Write("src.bin", "x");
  ASSERT_TRUE(CopyFile(Path("src.bin"), Path("dst.bin")));
  EXPECT_FALSE(CopyFile(Path("src.bin"), Path("dst.bin"), false));
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(root_.path())) ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST_F(FileOpsTest, FolderTreesAreMadeAndEmptyFoldersRemoved) {
  EXPECT_FALSE(MakeFolder(Path("a/b")));
  EXPECT_TRUE(MakeFolderTree(Path("a/b/c d/e")));
  EXPECT_TRUE(FolderExists(Path("a/b/c d/e")));
  EXPECT_TRUE(MakeFolderTree(Path("a/b/c d/e")));
  EXPECT_TRUE(MakeFolder(Path("a/b")));
  Write("a/file", "f");
  EXPECT_FALSE(MakeFolderTree(Path("a/file/sub")));
  EXPECT_FALSE(RemoveFolder(Path("a/b/c d")));
  EXPECT_TRUE(RemoveFolder(Path("a/b/c d/e")));
  EXPECT_FALSE(FolderExists(Path("a/b/c d/e")));
  EXPECT_FALSE(RemoveFolder(Path("a/file")));
}

}  // namespace
}  // namespace platform::fs
