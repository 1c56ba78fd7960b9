// Replacing and deleting files inside open folders: a link in the place is
// replaced or removed itself, a holder that denies sharing keeps its file,
// and a replace across file systems leaves nothing behind.
#include "platform/fs/no_follow.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "fs_fixture.h"

namespace platform::fs {
namespace {

namespace stdfs = std::filesystem;

class NoFollowTest : public FsTest {
 protected:
  void SetUp() override {
    stdfs::create_directories(Path("from"));
    stdfs::create_directories(Path("to"));
    Write("outside", "outside");
  }
  Folder Open(const std::string& rel) const { return OpenFolderPath(Path(rel), LinkPolicy::kRefuseAll, false); }
  // Names in `rel` other than the ones given: leftovers of a replace.
  std::vector<std::string> Others(const std::string& rel, std::initializer_list<std::string> known) const {
    std::vector<std::string> others;
    for (const auto& item : stdfs::directory_iterator(Path(rel))) {
      const std::string name = item.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
  }
};

TEST_F(NoFollowTest, ReplaceFileInPutsTheFileInPlaceAndNeverWritesThroughALink) {
  enum class Place { kMissing, kFile, kLinkToOutside };
  for (const Place place : {Place::kMissing, Place::kFile, Place::kLinkToOutside}) {
    SCOPED_TRACE(static_cast<int>(place));
    stdfs::remove(Path("to/store"));
    if (place == Place::kFile) Write("to/store", "old");
    if (place == Place::kLinkToOutside) stdfs::create_symlink(Path("outside"), Path("to/store"));
    Write("from/work", "new");

    ASSERT_TRUE(ReplaceFileIn(Open("from"), "work", Open("to"), "store"));

    EXPECT_FALSE(stdfs::is_symlink(Path("to/store")));
    EXPECT_EQ(Read("to/store"), "new");
    EXPECT_EQ(Read("outside"), "outside");
    EXPECT_FALSE(stdfs::exists(Path("from/work")));
  }
}

TEST_F(NoFollowTest, ReplaceFileInLeavesAFileHeldWithSharingDeniedAlone) {
  Write("to/store", "held");
  Write("from/work", "new");
  const int held = OpenFile(Path("to/store"), OpenMode::kBinary, Access::kReadWrite, Share::kDenyAll);
  ASSERT_NE(held, 0);

  EXPECT_FALSE(ReplaceFileIn(Open("from"), "work", Open("to"), "store"));
  EXPECT_EQ(Read("to/store"), "held");
  EXPECT_EQ(Read("from/work"), "new");
  CloseFile(held);
}

TEST_F(NoFollowTest, ReplaceFileInAcrossFileSystemsCopiesBesideThenRenames) {
  struct stat here {}, shm {};
  if (::stat(Path("to").c_str(), &here) != 0 || ::stat("/dev/shm", &shm) != 0 || here.st_dev == shm.st_dev) {
    GTEST_SKIP() << "needs /dev/shm on another file system than the test root";
  }
  char made[] = "/dev/shm/hearth-no-follow-XXXXXX";
  ASSERT_NE(::mkdtemp(made), nullptr);
  const stdfs::path other = made;
  testing_support::WriteFileBytes(other / "work", "across");
  stdfs::create_symlink(Path("outside"), Path("to/store"));

  const bool replaced =
      ReplaceFileIn(OpenFolderPath(other.string(), LinkPolicy::kRefuseAll, false), "work", Open("to"), "store");

  EXPECT_TRUE(replaced);
  EXPECT_EQ(Read("to/store"), "across");
  EXPECT_EQ(Read("outside"), "outside");
  EXPECT_FALSE(stdfs::exists(other / "work"));
  EXPECT_TRUE(Others("to", {"store"}).empty());
  stdfs::remove_all(other);
}

TEST_F(NoFollowTest, DeleteFileInRemovesALinkNotItsTargetAndRefusesAHeldFile) {
  stdfs::create_symlink(Path("outside"), Path("to/link"));
  EXPECT_TRUE(DeleteFileIn(Open("to"), "link"));
  EXPECT_FALSE(stdfs::is_symlink(Path("to/link")));
  EXPECT_EQ(Read("outside"), "outside");

  Write("to/held", "held");
  const int held = OpenFile(Path("to/held"), OpenMode::kBinary, Access::kReadWrite, Share::kDenyAll);
  ASSERT_NE(held, 0);
  EXPECT_FALSE(DeleteFileIn(Open("to"), "held"));
  EXPECT_EQ(errno, EWOULDBLOCK);
  EXPECT_EQ(Read("to/held"), "held");
  CloseFile(held);
}

TEST_F(NoFollowTest, OpenFolderOfGivesTheFolderAndTheFileName) {
  std::string name;
  const Folder folder = OpenFolderOf(Path("to/store"), LinkPolicy::kRefuseAll, &name);
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(name, "store");
  EXPECT_EQ(folder.path(), Path("to"));

  stdfs::create_directory_symlink(Path("to"), Path("linked"));
  WalkStop stop;
  EXPECT_FALSE(OpenFolderOf(Path("linked/store"), LinkPolicy::kRefuseAll, &name, &stop).ok());
  EXPECT_EQ(stop.error, ELOOP);
  EXPECT_FALSE(OpenFolderOf(Path("to") + "/", LinkPolicy::kRefuseAll, &name).ok());
}

}  // namespace
}  // namespace platform::fs
