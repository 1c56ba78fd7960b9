#include "support/firewall/firewall_component.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace support {
namespace {

class FirewallComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMachineRoot(root_.path()); }
  void TearDown() override { platform::SetMachineRoot({}); }
  void Config(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  testing_support::TempRoot root_;
};

TEST_F(FirewallComponentTest, LogFolderIsBelowTheRootUnlessConfigured) {
  FirewallComponent firewall;
  EXPECT_EQ(firewall.LogFolder(), root_.str() + "/firewall/log");
  Config("FirewallLogFolder = var/fw/\n");
  EXPECT_EQ(firewall.LogFolder(), root_.str() + "/var/fw/");
  Config("FirewallLogFolder = /srv/fw\n");
  EXPECT_EQ(firewall.LogFolder(), "/srv/fw");
}

TEST_F(FirewallComponentTest, LogFilesAreTheRegularFilesOfTheFolderInNameOrder) {
  FirewallComponent firewall;
  EXPECT_TRUE(firewall.LogFiles().empty());  // no folder yet
  const std::string folder = root_.str() + "/firewall/log";
  testing_support::WriteFileBytes(folder + "/fw.log.1", "old");
  testing_support::WriteFileBytes(folder + "/fw.log", "new");
  testing_support::WriteFileBytes(folder + "/archive/fw.log.2", "older");
  std::filesystem::create_symlink(folder + "/archive", folder + "/link");
  EXPECT_EQ(firewall.LogFiles(), (std::vector<std::string>{folder + "/fw.log", folder + "/fw.log.1"}));
}

}  // namespace
}  // namespace support
