// hearthctl settings get|set on the files beside a stopped service, and the read-only
// commands leaving the service's log alone.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "programs.h"
#include "testing/temp_root.h"

namespace hearthd_test {
namespace {

namespace fs = std::filesystem;

class SettingsOfflineTest : public ::testing::Test {
 protected:
  fs::path Root() const { return root_ / "machine"; }
  fs::path LogFolder() const { return Root() / "commonfiles/Norvale/QORC/log"; }
  fs::path Profile() const { return Root() / "commonfiles/Norvale/QORC/prf"; }
  std::string LogText() const { return testing_support::ReadFileBytes(LogFolder() / "hearth.log"); }
  Finished Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", Root().string()});
    return RunToEnd("hearthctl", args, root_ / "output");
  }
  // The one settings file of the profile folder.
  fs::path SystemFile() const {
    for (const auto& entry : fs::directory_iterator(Profile())) {
      if (entry.path().extension() == ".exl") return entry.path();
    }
    return {};
  }
  testing_support::TempRoot root_;
};

TEST_F(SettingsOfflineTest, SetThenGetEachType) {
  struct Case {
    std::vector<std::string> set;
    const char* name;
    const char* shown;
  } cases[] = {
      {{"features.allowed", "AF"}, "features.allowed", "AF\n"},
      {{"x.count", "-42", "--type", "long"}, "X.Count", "-42\n"},
      {{"x.on", "true", "--type", "bool"}, "x.on", "True\n"},
      {{"x.text", "a b", "--user", "*"}, "x.text", "a b\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> set = {"settings", "set"};
    set.insert(set.end(), c.set.begin(), c.set.end());
    Finished written = Ctl(set);
    ASSERT_EQ(written.exit_code, 0) << written.err;
    std::vector<std::string> get = {"settings", "get", c.name};
    if (std::find(c.set.begin(), c.set.end(), "--user") != c.set.end()) get.insert(get.end(), {"--user", "*"});
    Finished read = Ctl(get);
    EXPECT_EQ(read.exit_code, 0) << read.err;
    EXPECT_EQ(read.out, c.shown);
  }
  // Earlier settings of the same file survive a later set.
  EXPECT_EQ(Ctl({"settings", "get", "features.allowed"}).out, "AF\n");
  Finished missing = Ctl({"settings", "get", "x.none"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("no setting x.none"), std::string::npos) << missing.err;
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"settings", "set", "x.n", "1.5", "--type", "long"},
        std::vector<std::string>{"settings", "set", "x.n", "yes", "--type", "bool"},
        std::vector<std::string>{"settings", "set", "x.n", "1", "--type", "date"},
        std::vector<std::string>{"settings", "set", "x.n"}}) {
    EXPECT_EQ(Ctl(bad).exit_code, 2) << bad[2];
  }
}

TEST_F(SettingsOfflineTest, ANameNoFileCouldHoldIsRefusedWithTheReasonAndTheFileKeepsWorking) {
  ASSERT_EQ(Ctl({"settings", "set", "features.allowed", "AF"}).exit_code, 0);
  const std::string before = testing_support::ReadFileBytes(SystemFile());
  for (const char* name : {"x.a b", "1abc", "x.a<b"}) {
    SCOPED_TRACE(name);
    Finished set = Ctl({"settings", "set", name, "v"});
    EXPECT_EQ(set.exit_code, 1);
    EXPECT_NE(set.err.find("cannot be a setting name (it is not a valid XML name)"), std::string::npos) << set.err;
  }
  EXPECT_EQ(testing_support::ReadFileBytes(SystemFile()), before);
  ASSERT_EQ(Ctl({"settings", "set", "x.later", "ok"}).exit_code, 0);
  EXPECT_EQ(Ctl({"settings", "get", "x.later"}).out, "ok\n");
}

TEST_F(SettingsOfflineTest, ADamagedFileIsRefusedUntouchedAndReadingLeavesNoLogLine) {
  ASSERT_EQ(Ctl({"settings", "set", "features.allowed", "AF"}).exit_code, 0);
  const fs::path file = SystemFile();
  ASSERT_FALSE(file.empty());
  std::string damaged = testing_support::ReadFileBytes(file);
  damaged[damaged.size() / 2] ^= 0x55;
  std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
  const std::string log = LogText();

  for (const std::vector<std::string>& read :
       {std::vector<std::string>{"settings", "dump"}, std::vector<std::string>{"settings", "get", "features.allowed"}}) {
    Finished refused = Ctl(read);
    EXPECT_EQ(refused.exit_code, 1) << read[1];
    EXPECT_NE(refused.err.find("is damaged"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(LogText(), log);  // read-only: no line, not even the checksum error

  Finished set = Ctl({"settings", "set", "features.allowed", "AFW"});
  EXPECT_EQ(set.exit_code, 1);
  EXPECT_NE(set.err.find("is damaged"), std::string::npos) << set.err;
  EXPECT_EQ(testing_support::ReadFileBytes(file), damaged);
}

TEST_F(SettingsOfflineTest, WhileTheServiceRunsWithoutABusTheFileIsNotTouched) {
  ASSERT_EQ(Ctl({"settings", "set", "features.allowed", "AF"}).exit_code, 0);
  // Its settings are in its memory and only reachable over a bus there is not.
  const std::string no_bus = "unix:path=" + (root_ / "no-bus.sock").string();
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", no_bus.c_str(), 1);
  Process hearthd("hearthd", {"--root", Root().string()}, root_ / "output");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (LogText().find("] Service.OnStart: complete, Err=") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (const std::vector<std::string>& args : {std::vector<std::string>{"settings", "get", "features.allowed"},
                                               std::vector<std::string>{"settings", "set", "features.allowed", "F"}}) {
    Finished refused = Ctl(args);
    EXPECT_EQ(refused.exit_code, 1) << args[1];
    EXPECT_NE(refused.err.find("hearthd is running on " + Root().string() +
                               " and its settings are in its memory, but the system bus is not there (" + no_bus),
              std::string::npos)
        << refused.err;
  }
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  hearthd.Signal(SIGTERM);
  EXPECT_EQ(hearthd.Wait().exit_code, 0);
  Finished after = Ctl({"settings", "get", "features.allowed"});
  EXPECT_EQ(after.out, "AF\n") << after.err;
}

}  // namespace
}  // namespace hearthd_test
