#include "support/time/time_component.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace support {
namespace {

class TimeComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMachineRoot(root_.path()); }
  void TearDown() override { platform::SetMachineRoot({}); }
  void Config(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  testing_support::TempRoot root_;
};

TEST_F(TimeComponentTest, RunsTheConfiguredCommandWithoutWaiting) {
  const std::filesystem::path marker = root_ / "synced";
  Config("TimeSyncCommand = sleep 0.2; touch '" + marker.string() + "'\n");
  TimeComponent time;
  EXPECT_TRUE(time.SynchronizeTime());
  EXPECT_FALSE(std::filesystem::exists(marker));  // started, not waited for
  for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(TimeComponentTest, AnEmptyCommandSynchronisesNothing) {
  Config("TimeSyncCommand =\n");
  EXPECT_EQ(TimeSyncCommand(), "");
  EXPECT_FALSE(TimeComponent().SynchronizeTime());
}

TEST_F(TimeComponentTest, WithoutConfigurationTheMachinesTimeServiceIsUsed) {
  const std::string command = TimeSyncCommand();
  if (std::filesystem::exists("/usr/bin/chronyc")) {
    EXPECT_EQ(command, "/usr/bin/chronyc -a makestep");
  } else if (std::filesystem::exists("/lib/systemd/systemd-timesyncd") ||
             std::filesystem::exists("/usr/lib/systemd/systemd-timesyncd")) {
    EXPECT_EQ(command, "systemctl restart systemd-timesyncd");
  } else {
    EXPECT_EQ(command, "");
  }
}

}  // namespace
}  // namespace support
