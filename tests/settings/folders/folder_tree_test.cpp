// Folder trees, single folders, short paths and quiet file helpers.
#include "folders_fixture.h"
#include "platform/basic/err.h"
#include "settings/folders/file_utilities.h"
#include "settings/folders/folder_tree.h"
#include "settings/folders/short_path.h"
#include "settings/folders/uninstall_pending.h"

#include <thread>

namespace settings {
namespace {

namespace fs = std::filesystem;

TEST_F(FoldersTest, MakeFolderTreeMakesEveryMissingLevel) {
  MakeFolderTree(Native("a/b/c/d"));
  EXPECT_TRUE(fs::is_directory(root_ / "a/b/c/d"));
  MakeFolderTree(Native("a/b/c/d"));  // all there: nothing happens
  MakeFolderTree(Native("a/b/e/"));   // a trailing slash is no extra level
  EXPECT_TRUE(fs::is_directory(root_ / "a/b/e"));
}

TEST_F(FoldersTest, MakeFolderTreeStopsQuietlyAtAFileInTheWay) {
  testing_support::WriteFileBytes(root_ / "a/file", "x");
  MakeFolderTree(Native("a/file/deeper"));
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "a/file"), "x");
  EXPECT_FALSE(platform::Err::IsSet());
}

TEST_F(FoldersTest, EnsureFolderMakesOneLevelOnly) {
  EnsureFolder(Native("one"));
  EXPECT_TRUE(fs::is_directory(root_ / "one"));
  EnsureFolder(Native("one"));  // exists: silent
  EnsureFolder(Native("missing/two"));
  EXPECT_FALSE(fs::exists(root_ / "missing"));
  testing_support::WriteFileBytes(root_ / "plain", "x");
  EnsureFolder(Native("plain"));
  EXPECT_TRUE(fs::is_regular_file(root_ / "plain"));
  EXPECT_FALSE(platform::Err::IsSet());
}

TEST_F(FoldersTest, ShortPathIsThePathItselfOrEmpty) {
  testing_support::WriteFileBytes(root_ / "file.txt", "x");
  EXPECT_EQ(GetShortPath(Native("file.txt")), Native("file.txt"));
  EXPECT_EQ(GetShortPath(Native("missing.txt")), "");
  EXPECT_EQ(GetShortPath(""), "");
  // Longer than the 1024-character buffer: no text, rather than a cut path.
  std::string deep = root_.str();
  while (deep.size() < 1100) deep += "/" + std::string(100, 'd');
  MakeFolderTree(deep);
  ASSERT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(GetShortPath(deep), "");
}

TEST_F(FoldersTest, KillFileQuietlyIgnoresAndClearsEveryError) {
  testing_support::WriteFileBytes(root_ / "doomed", "x");
  KillFileQuietly(Native("doomed"));
  EXPECT_FALSE(fs::exists(root_ / "doomed"));
  platform::Err::Set(53, "File not found");
  KillFileQuietly(Native("doomed"));
  EXPECT_FALSE(platform::Err::IsSet());
  fs::create_directories(root_ / "folder");
  KillFileQuietly(Native("folder"));
  EXPECT_TRUE(fs::is_directory(root_ / "folder"));
}

TEST_F(FoldersTest, SafeDirGivesTheFirstMatchOrEmpty) {
  testing_support::WriteFileBytes(root_ / "logs/b.log", "");
  testing_support::WriteFileBytes(root_ / "logs/a.log", "");
  EXPECT_EQ(SafeDir(Native("logs/*.log")), "a.log");
  EXPECT_EQ(SafeDir(Native("logs/*.txt")), "");
  EXPECT_EQ(SafeDir(Native("nowhere/*.log")), "");
  EXPECT_EQ(SafeDir(Native("logs"), platform::fs::kDirectory), "logs");
}

TEST_F(FoldersTest, UninstallPendingIsPerThreadAndStartsFalse) {
  EXPECT_FALSE(UninstallPending());
  SetUninstallPending(true);
  bool other_thread = true;
  std::thread([&] { other_thread = UninstallPending(); }).join();
  EXPECT_FALSE(other_thread);
  EXPECT_TRUE(UninstallPending());
  SetUninstallPending(false);
}

}  // namespace
}  // namespace settings
