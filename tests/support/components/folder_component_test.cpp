#include "support/folders/folder_component.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "components_fixture.h"

namespace support {
namespace {

TEST_F(SupportComponents, CommonFilesFolderIsBelowTheRootUnlessConfigured) {
  FolderComponent folders;
  EXPECT_EQ(folders.CommonFilesFolder(), root_.str() + "/commonfiles");
  EXPECT_FALSE(std::filesystem::exists(root_ / "commonfiles"));  // answered, not created

  WriteMachineConfig("CommonFilesFolder = shared/common\n");
  EXPECT_EQ(folders.CommonFilesFolder(), root_.str() + "/shared/common");
  WriteMachineConfig("CommonFilesFolder = /srv/common\n");
  EXPECT_EQ(folders.CommonFilesFolder(), "/srv/common");
  WriteMachineConfig("CommonFilesFolder =\n");
  EXPECT_EQ(folders.CommonFilesFolder(), "");
}

}  // namespace
}  // namespace support
