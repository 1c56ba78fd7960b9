#include "platform/fs/folders.h"

#include "fs_fixture.h"

namespace platform::fs {
namespace {

using FoldersTest = FsTest;

TEST_F(FoldersTest, WindowsPlacesMapBelowTheMachineRoot) {
  const std::string root = root_.str();
  EXPECT_EQ(CommonFilesFolder(), root + "/commonfiles");
  EXPECT_EQ(DefaultCommonFilesFolder(), root + "/program files/common files");
  EXPECT_EQ(SystemDriveFolder(), root);
  EXPECT_EQ(WindowsFolder(), root + "/windows");
  EXPECT_EQ(TempFolder(), root + "/tmp");
}

TEST_F(FoldersTest, FixedDrivePathsLandInTheRoot) {
  const std::string root = root_.str();
  EXPECT_EQ(SystemDrivePath("Alerts.csv"), root + "/Alerts.csv");
  EXPECT_EQ(SystemDrivePath("c:\\Alerts.txt"), root + "/Alerts.txt");
  EXPECT_EQ(SystemDrivePath("\\logs\\a.txt"), root + "/logs/a.txt");
  EXPECT_EQ(SystemDrivePath(""), root);
}

TEST_F(FoldersTest, FoldersAreNotCreatedByAskingForThem) {
  CommonFilesFolder();
  TempFolder();
  EXPECT_FALSE(std::filesystem::exists(root_ / "commonfiles"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "tmp"));
}

TEST(JoinPathTest, JoinsWithOneSlash) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
  EXPECT_EQ(JoinPath("/", "b"), "/b");
}

}  // namespace
}  // namespace platform::fs
