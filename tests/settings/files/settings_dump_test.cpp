// hearthctl settings dump, run as a program on a root with settings files.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs/file_ops.h"
#include "testing/run_tool.h"
#include "settings/files/settings_file_fixture.h"
#include "settings/files/snapshot_cipher.h"
#include "testing/child_process.h"

namespace settings {
namespace {

using hearthctl_test::RunTool;
using hearthctl_test::ToolRun;

class SettingsDumpTest : public SettingsFileTest {
 protected:
  ToolRun Dump(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--root", root_.str(), "settings", "dump"});
    return RunTool("hearthctl", args);
  }
};

TEST_F(SettingsDumpTest, PrintsTheStoredSnapshotOfTheSystemAUserAndTheGuest) {
  Store("", "sys.who", "system");
  Store("S-1-5-21-1", "sys.who", "user");
  Store("*", "sys.who", "guest");
  const struct {
    std::vector<std::string> args;
    std::string properties;
  } cases[] = {
      {{}, "<sys.who VT=\"8\">system</sys.who>"},
      {{"--user", "S-1-5-21-1"}, "<sys.who VT=\"8\">user</sys.who><user.sid VT=\"8\">S-1-5-21-1</user.sid>"},
      {{"--user", "*"}, "<sys.who VT=\"8\">guest</sys.who><user.sid VT=\"8\">*</user.sid>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.properties);
    const ToolRun run = Dump(c.args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "<VeltrisSettings><cSettings name=\"Windows_v1.50\">" + c.properties +
                           "<uncorrupted VT=\"8\">Definitely</uncorrupted></cSettings></VeltrisSettings>\n");
    EXPECT_EQ(run.err, "");
  }
}

TEST_F(SettingsDumpTest, SaysClearlyWhenTheFileIsMissingOrDamaged) {
  ToolRun run = Dump({"--user", "S-1-5-21-2"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "hearthctl settings dump: no settings file for user S-1-5-21-2 (" + PathsOf("S-1-5-21-2").live +
                         ")\n");

  Store("", "sys.who", "system");
  std::string bytes = LiveBytes("");
  bytes[3] ^= 0x40;
  testing_support::WriteFileBytes(PathsOf("").live, bytes);
  run = Dump();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("the settings file for the system collection is damaged: " + PathsOf("").live),
            std::string::npos)
      << run.err;
  // Another owner's file under this name is damaged too, and nothing changed.
  Store("S-1-5-21-1", "sys.who", "user");
  testing_support::WriteFileBytes(PathsOf("S-1-5-21-2").live, LiveBytes("S-1-5-21-1"));
  EXPECT_EQ(Dump({"--user", "S-1-5-21-2"}).exit_code, 1);
  EXPECT_EQ(LiveBytes(""), bytes);
}

TEST_F(SettingsDumpTest, WrongUsageExitsWithTwo) {
  EXPECT_EQ(Dump({"extra"}).exit_code, 2);
  EXPECT_EQ(Dump({"--user"}).exit_code, 2);
  EXPECT_EQ(Dump({"--user", ""}).exit_code, 2);
  EXPECT_EQ(Dump({"--bogus"}).exit_code, 2);
}

TEST_F(SettingsDumpTest, PrintsTheSystemFileAfterTheServiceStartedAndStopped) {
  const std::string hearthd = std::string(std::getenv("HEARTH_BIN_DIR") ? std::getenv("HEARTH_BIN_DIR") : "") +
                              "/hearthd";
  if (!platform::fs::FileExists(hearthd)) GTEST_SKIP() << "hearthd is not built";
  const std::string root = root_.str();
  const pid_t pid = testing_support::StartChild([&] {
    ::execl(hearthd.c_str(), hearthd.c_str(), "--root", root.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
  const auto started = [&] {
    for (const auto& line : LogMessages()) {
      if (line.starts_with("Service.OnStart: complete")) return true;
    }
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!started() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid, SIGTERM);
  EXPECT_EQ(testing_support::WaitChild(pid), 0);
  ASSERT_TRUE(started());
  if (!platform::fs::FileExists(PathsOf("").live)) GTEST_SKIP() << "hearthd does not store the system settings yet";

  const ToolRun run = Dump();
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("<VeltrisSettings><cSettings name=\"Windows_v1.50\">")) << run.out;
  EXPECT_NE(run.out.find("<uncorrupted VT=\"8\">Definitely</uncorrupted>"), std::string::npos);
}

}  // namespace
}  // namespace settings
