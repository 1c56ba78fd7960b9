#include "support/rights/rights_component.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "components_fixture.h"

namespace support {
namespace {

// The process's own group: a group it may always hand its files to.
std::string OwnGroupName() {
  const group* own = getgrgid(getegid());
  return own != nullptr ? own->gr_name : "";
}

struct stat StatOf(const std::filesystem::path& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info;
}

// Group members may add files but not remove or rename the service's own
// (sticky), and new files take the group (setgid).
TEST_F(SupportComponents, GrantGivesTheUsersGroupFullAccessToAFolder) {
  const std::string group_name = OwnGroupName();
  ASSERT_FALSE(group_name.empty());
  WriteMachineConfig("UsersGroup = " + group_name + "\n");
  const auto folder = root_ / "tmp";
  std::filesystem::create_directories(folder);
  ::chmod(folder.c_str(), 0700);

  RightsComponent rights;
  EXPECT_EQ(rights.Grant(contracts::kTrusteeUsers, folder.string(), contracts::kGenericAll, 0), "OK");
  struct stat info = StatOf(folder);
  EXPECT_EQ(info.st_mode & 07777, static_cast<mode_t>(03770));
  EXPECT_EQ(info.st_gid, getegid());
}

TEST_F(SupportComponents, GrantReadOnAFileAddsOnlyTheReadBit) {
  WriteMachineConfig("UsersGroup = " + OwnGroupName() + "\n");
  const auto file = root_ / "file.txt";
  testing_support::WriteFileBytes(file, "x");
  ::chmod(file.c_str(), 0600);
  RightsComponent rights;
  EXPECT_EQ(rights.Grant(contracts::kTrusteeUsers, file.string(), contracts::kGenericRead, 0), "OK");
  EXPECT_EQ(StatOf(file).st_mode & 07777, static_cast<mode_t>(0640));
}

TEST_F(SupportComponents, GrantAnswersWhyItFailed) {
  RightsComponent rights;
  const std::string folder = root_.str();
  WriteMachineConfig("UsersGroup = " + OwnGroupName() + "\n");
  EXPECT_EQ(rights.Grant(contracts::kTrusteeUsers, folder + "/missing", contracts::kGenericAll, 0),
            "No such file or directory");
  EXPECT_EQ(rights.Grant(7, folder, contracts::kGenericAll, 0), "The parameter is incorrect.");
  EXPECT_EQ(rights.Grant(contracts::kTrusteeUsers, folder, 0x1, 0), "The parameter is incorrect.");
  EXPECT_EQ(rights.Grant(contracts::kTrusteeUsers, "", contracts::kGenericAll, 0), "The parameter is incorrect.");
  WriteMachineConfig("UsersGroup = no-such-group-here\n");
  EXPECT_EQ(rights.Grant(contracts::kTrusteeUsers, folder, contracts::kGenericAll, 0),
            "The group 'no-such-group-here' does not exist");
}

}  // namespace
}  // namespace support
