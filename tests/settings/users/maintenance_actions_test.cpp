#include "settings/users/maintenance_actions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/basic/err.h"
#include "service/init/testing/init_test_support.h"

namespace settings {
namespace {

namespace fs = std::filesystem;

class FakeFirewall : public contracts::FirewallComponent {
 public:
  std::string LogFolder() override { return folder; }
  std::vector<std::string> LogFiles() override { return files; }
  std::string folder;
  std::vector<std::string> files;
};

class FakeTime : public contracts::TimeComponent {
 public:
  bool SynchronizeTime() override {
    ++calls;
    return true;
  }
  int calls = 0;
};

class MaintenanceActions : public init_testing::InitTest {
 protected:
  fs::path Profile(const std::string& name) const { return root_ / ("commonfiles/Norvale/QORC/prf/" + name); }
};

TEST_F(MaintenanceActions, ScanHistoriesAreDeletedOneAtATime) {
  testing_support::WriteFileBytes(Profile("AVScanHistory.exl"), "av");
  testing_support::WriteFileBytes(Profile("ASScanHistory.exl"), "as");

  ClearAvScanHistory();
  EXPECT_FALSE(fs::exists(Profile("AVScanHistory.exl")));
  EXPECT_TRUE(fs::exists(Profile("ASScanHistory.exl")));

  ClearAsScanHistory();
  EXPECT_FALSE(fs::exists(Profile("ASScanHistory.exl")));

  ClearAvScanHistory();  // nothing left to delete
  EXPECT_EQ(platform::Err::Number(), 0);
}

TEST_F(MaintenanceActions, WithoutACommonFilesFolderNothingIsDeleted) {
  WriteMachineConfig("CommonFilesFolder =\n");
  const fs::path fallback = root_ / "program files/common files/Norvale/QORC/prf/AVScanHistory.exl";
  testing_support::WriteFileBytes(fallback, "av");
  ClearAvScanHistory();
  EXPECT_TRUE(fs::exists(fallback));
}

TEST_F(MaintenanceActions, FirewallLogsAreDeletedAndAStubbornOneIsTriedThreeTimes) {
  auto firewall = std::make_shared<FakeFirewall>();
  contracts::ScopedSupportOverride<contracts::FirewallComponent> use_firewall(firewall);
  testing_support::WriteFileBytes(root_ / "fw/a.log", "a");
  testing_support::WriteFileBytes(root_ / "fw/b.log", "b");
  // A folder with something in it cannot be deleted as a file.
  testing_support::WriteFileBytes(root_ / "fw/stubborn.log/inner", "x");
  firewall->files = {(root_ / "fw/a.log").string(), (root_ / "fw/stubborn.log").string(),
                     (root_ / "fw/missing.log").string(), (root_ / "fw/b.log").string()};

  const auto start = std::chrono::steady_clock::now();
  ClearFirewallLogs();
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_FALSE(fs::exists(root_ / "fw/a.log"));
  EXPECT_FALSE(fs::exists(root_ / "fw/b.log"));
  EXPECT_TRUE(fs::exists(root_ / "fw/stubborn.log/inner"));
  EXPECT_GE(elapsed, std::chrono::milliseconds(500));  // two pauses between three tries
  EXPECT_EQ(platform::Err::Number(), 0);
}

TEST_F(MaintenanceActions, FirewallLogsOfTheRealComponent) {
  WriteMachineConfig("FirewallLogFolder = fwlogs\n");
  testing_support::WriteFileBytes(root_ / "fwlogs/fw.log", "a");
  testing_support::WriteFileBytes(root_ / "fwlogs/fw.log.1", "b");
  ClearFirewallLogs();
  EXPECT_TRUE(fs::is_empty(root_ / "fwlogs"));
}

TEST_F(MaintenanceActions, TimeIsSynchronisedThroughTheTimeComponent) {
  auto time = std::make_shared<FakeTime>();
  contracts::ScopedSupportOverride<contracts::TimeComponent> use_time(time);
  SynchronizeTime();
  EXPECT_EQ(time->calls, 1);
}

TEST_F(MaintenanceActions, TimeSynchronisationRunsTheConfiguredCommand) {
  const fs::path marker = root_ / "synced";
  WriteMachineConfig("TimeSyncCommand = touch '" + marker.string() + "'\n");
  SynchronizeTime();
  for (int i = 0; i < 200 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_TRUE(fs::exists(marker));
}

}  // namespace
}  // namespace settings
