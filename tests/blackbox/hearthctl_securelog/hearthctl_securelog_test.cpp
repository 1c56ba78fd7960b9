// hearthctl action and securelog run as programs on a fresh root.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testing/run_tool.h"
#include "service/host/lock/instance_lock.h"
#include "testing/temp_root.h"

namespace {

using hearthctl_test::RunTool;
using hearthctl_test::ToolRun;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class HearthctlSecureLogTest : public ::testing::Test {
 protected:
  ToolRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root_.str()});
    return RunTool("hearthctl", args);
  }
  ToolRun Action(const std::string& message) {
    WriteFileBytes(root_ / "message.xml", message);
    return Ctl({"action", (root_ / "message.xml").string()});
  }
  std::filesystem::path LogFile() const {
    return root_ / "commonfiles/Norvale/QORC/prf/securelog/report.slog";
  }
  testing_support::TempRoot root_;
};

TEST_F(HearthctlSecureLogTest, AnActionWritesAnEntryThatTheLogCommandsShowAndVerify) {
  ToolRun act = Action(
      "<m><action type='logalert'><entrytype>REPORT</entrytype><host>h.example</host><alertid>CF1</alertid>"
      "<date>1/2/2024</date></action>"
      "<action type='getsecurelog' logname='Report' markread='false'/></m>");
  ASSERT_EQ(act.exit_code, 0) << act.err;
  EXPECT_EQ(act.out, "<entry alertid='CF1' when='45293' userid='This Computer' referer='' >h.example</entry>\r\n\n");
  EXPECT_NE(act.err.find("answered in this process"), std::string::npos) << act.err;

  ToolRun list = Ctl({"securelog", "list"});
  EXPECT_EQ(list.exit_code, 0) << list.err;
  EXPECT_EQ(list.out, "report\t1 entries\t1 unread\tverifies\n");
  ToolRun show = Ctl({"securelog", "show", "REPORT"});
  EXPECT_EQ(show.out, "<entry alertid='CF1' when='45293' userid='This Computer' referer='' >h.example</entry>\n");
  ToolRun verify = Ctl({"securelog", "verify", "report"});
  EXPECT_EQ(verify.exit_code, 0) << verify.err;
  EXPECT_EQ(verify.out, "secure log 'report': 1 entries, the chain verifies\n");

  std::string bytes = ReadFileBytes(LogFile());
  const size_t at = bytes.find("h.example");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'H';
  WriteFileBytes(LogFile(), bytes);
  ToolRun broken = Ctl({"securelog", "verify", "report"});
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_NE(broken.out.find("secure log 'report' does not verify: entry 1 does not verify"), std::string::npos)
      << broken.out;
  ToolRun still_read = Ctl({"securelog", "show", "report", "--all"});
  EXPECT_EQ(still_read.exit_code, 0);
  EXPECT_NE(still_read.out.find("H.example"), std::string::npos);
  EXPECT_NE(still_read.err.find("does not verify"), std::string::npos);
}

TEST_F(HearthctlSecureLogTest, VerifySaysWhatItCatchesAndWhatItCannot) {
  ToolRun help = Ctl({"securelog", "verify", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("usage: hearthctl securelog verify NAME [--verification-key KEY]\n", 0), 0u) << help.out;
  for (const char* part : {"a state file that is\n    missing, edited, put back from earlier",
                           "It cannot see: entries cut from the end before any sync or read mark",
                           "with --verification-key (from setup-keys): every seal"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part << "\n" << help.out;
  }
}

TEST_F(HearthctlSecureLogTest, SetUpKeysPrintsTheVerificationKeyOnceAndVerifyTakesIt) {
  ASSERT_EQ(Action("<m><action type='logalert'><entrytype>REPORT</entrytype><host>h</host></action></m>").exit_code,
            0);
  ToolRun setup = Ctl({"securelog", "setup-keys"});
  ASSERT_EQ(setup.exit_code, 0) << setup.err;
  const size_t last_line = setup.out.rfind('\n', setup.out.size() - 2);
  const std::string key = setup.out.substr(last_line + 1, setup.out.size() - last_line - 2);
  EXPECT_EQ(key.size(), 64 + 1 + 10 + 1 + 3) << setup.out;  // seed, start, 900 seconds
  EXPECT_EQ(key.substr(key.size() - 4), "-900");
  // The seed is nowhere on the machine.
  std::error_code ignored;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root_.path(), ignored)) {
    if (!item.is_regular_file()) continue;
    EXPECT_EQ(ReadFileBytes(item.path()).find(key.substr(0, 64)), std::string::npos) << item.path();
  }
  EXPECT_EQ(Ctl({"securelog", "setup-keys"}).exit_code, 1);

  ToolRun verify = Ctl({"securelog", "verify", "report", "--verification-key", key});
  EXPECT_EQ(verify.exit_code, 0) << verify.out << verify.err;
  EXPECT_EQ(verify.out,
            "secure log 'report': 1 entries, the chain verifies\nsecure log 'report': not sealed yet\n");
  EXPECT_EQ(Ctl({"securelog", "verify", "report", "--verification-key", "nonsense"}).exit_code, 2);
  EXPECT_EQ(Ctl({"securelog", "seal"}).exit_code, 0);
}

TEST_F(HearthctlSecureLogTest, SettingsWrittenByAnActionAreStored) {
  ASSERT_EQ(Action("<m><action type='settings'><setting id='global.test.value'>42</setting></action></m>").exit_code, 0);
  ToolRun dump = Ctl({"settings", "dump"});
  EXPECT_EQ(dump.exit_code, 0) << dump.err;
  EXPECT_NE(dump.out.find("test.value"), std::string::npos) << dump.out;
}

TEST_F(HearthctlSecureLogTest, MistakesAreReported) {
  EXPECT_EQ(Ctl({"securelog", "verify", "nothere"}).exit_code, 1);
  EXPECT_EQ(Ctl({"securelog", "show"}).exit_code, 2);
  EXPECT_EQ(Ctl({"action"}).exit_code, 2);
  EXPECT_EQ(Ctl({"action", (root_ / "missing.xml").string()}).exit_code, 1);
  ToolRun help = Ctl({"action", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("usage: hearthctl action FILE|-\n", 0), 0u) << help.out;
  ToolRun not_xml = Action("not xml");
  EXPECT_EQ(not_xml.exit_code, 0);
  EXPECT_EQ(not_xml.out, "\n");
}

TEST_F(HearthctlSecureLogTest, NoActionRunsBesideARunningService) {
  std::filesystem::create_directories(root_ / "run");
  service::InstanceLock lock;
  std::string error;
  ASSERT_EQ(lock.Acquire((root_ / "run/hearthd.lock").string(), &error), service::InstanceLock::Result::kAcquired);
  // A service whose bus cannot be reached: the message is not run here instead.
  const std::string address = "unix:path=" + (root_ / "no-bus").string();
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  ToolRun act = Action("<m><action type='settings'><setting id='global.x'>1</setting></action></m>");
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  EXPECT_EQ(act.exit_code, 1);
  EXPECT_NE(act.err.find("hearthd is running on " + root_.str() + " but did not take the message over the system bus"),
            std::string::npos)
      << act.err;
  std::error_code ignored;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root_.path(), ignored)) {
    EXPECT_NE(item.path().extension(), ".exl") << "ran in this process: " << item.path();
  }
}

}  // namespace
