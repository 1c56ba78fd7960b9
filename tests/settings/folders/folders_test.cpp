// The profile, log and application folders.
#include "settings/folders/folders.h"

#include "folders_fixture.h"
#include "platform/basic/err.h"
#include "platform/registry/registry_helpers.h"

namespace settings {
namespace {

namespace fs = std::filesystem;

TEST_F(FoldersTest, ProfileAndLogFoldersAreMadeBelowTheCommonFiles) {
  EXPECT_EQ(GetProfileFolder(), Native("commonfiles/Norvale/QORC/prf"));
  EXPECT_EQ(GetLogFolder(), Native("commonfiles/Norvale/QORC/log"));
  EXPECT_TRUE(fs::is_directory(root_ / "commonfiles/Norvale/QORC/prf"));
  EXPECT_TRUE(fs::is_directory(root_ / "commonfiles/Norvale/QORC/log"));
  // A second call finds them and changes nothing.
  testing_support::WriteFileBytes(root_ / "commonfiles/Norvale/QORC/prf/keep", "x");
  EXPECT_EQ(GetProfileFolder(), Native("commonfiles/Norvale/QORC/prf"));
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "commonfiles/Norvale/QORC/prf/keep"), "x");
}

TEST_F(FoldersTest, AnEmptyFolderComponentFallsBackToTheDefaultCommonFilesWithEveryParent) {
  WriteMachineConfig("CommonFilesFolder =\n");
  EXPECT_EQ(GetCommonFilesFolder(), Native("program files/common files"));
  EXPECT_EQ(GetProfileFolder(), Native("program files/common files/Norvale/QORC/prf"));
  EXPECT_TRUE(fs::is_directory(root_ / "program files/common files/Norvale/QORC/prf"));
  EXPECT_FALSE(fs::exists(root_ / "commonfiles"));
}

TEST_F(FoldersTest, AFolderThatCannotBeMadeStillGivesItsPathAndNoError) {
  testing_support::WriteFileBytes(root_ / "commonfiles/Norvale", "a file in the way");
  platform::Err::Set(5, "the caller's own error");
  EXPECT_EQ(GetLogFolder(), Native("commonfiles/Norvale/QORC/log"));
  EXPECT_FALSE(fs::exists(root_ / "commonfiles/Norvale/QORC"));
  EXPECT_EQ(platform::Err::Number(), 5);
  EXPECT_EQ(platform::Err::Description(), "the caller's own error");
  platform::Err::Clear();
}

TEST_F(FoldersTest, AppFolderIsTheInstallDirValuePlusApp) {
  EXPECT_EQ(GetAppFolder(), "");  // no product key yet
  namespace reg = platform::registry;
  ASSERT_EQ(reg::WriteStringValue(reg::kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5", "installdir",
                                  "/opt/veltris"),
            reg::kErrorSuccess);
  EXPECT_EQ(GetAppFolder(), "/opt/veltris/app");
  EXPECT_FALSE(fs::exists("/opt/veltris/app"));  // never made here
}

}  // namespace
}  // namespace settings
