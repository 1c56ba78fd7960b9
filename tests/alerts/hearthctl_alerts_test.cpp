// hearthctl's alerts and logs commands on a store that this process (in the
// place of the running service) keeps open at the same time.
#include <cstdio>
#include <filesystem>

#include "alerts/alert_statements.h"
#include "alerts_fixture.h"

namespace alerts::testing {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

class HearthctlAlertsTest : public AlertsTest {
 protected:
  void SetUp() override {
    AlertsTest::SetUp();
    const char* bin = std::getenv("HEARTH_BIN_DIR");
    program_ = bin ? std::filesystem::path(bin) / "hearthctl" : std::filesystem::path();
    if (program_.empty() || !std::filesystem::exists(program_)) GTEST_SKIP() << "hearthctl is not built";
  }

  // Runs hearthctl on the test's root; arguments are single-quoted for the shell.
  Outcome Run(const std::vector<std::string>& args) {
    std::string command = "'" + program_.string() + "' --root '" + root_.str() + "'";
    for (const std::string& arg : args) {
      std::string quoted = "'";
      for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
      command += " " + quoted + "'";
    }
    command += " 2>/dev/null";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.out.append(buffer, n);
    int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
  }

  std::filesystem::path program_;
};

TEST_F(HearthctlAlertsTest, PostListShowDeleteWhileTheStoreIsOpenElsewhere) {
  int32_t mine = Post("Firewall", 40);
  Outcome posted = Run({"alerts", "post", "Firewall", "7", "From the tool", "it's here", "--id", "T1"});
  ASSERT_EQ(posted.status, 0);
  EXPECT_EQ(posted.out, std::to_string(mine + 1) + "\n");
  // This process sees the other's row at once.
  platform::Variant list;
  EXPECT_EQ(GetAlertIndicesAll("Firewall", list), 2);
  EXPECT_EQ(Field(mine + 1, kColDescription), "it's here");

  Outcome listed = Run({"alerts", "list", "Firewall"});
  ASSERT_EQ(listed.status, 0);
  std::string time = Field(mine, kColEventDateTime);
  EXPECT_NE(listed.out.find(std::to_string(mine) + "\t" + time + "\t40\tsummary\n"), std::string::npos)
      << listed.out;
  EXPECT_NE(listed.out.find("\t7\tFrom the tool\n"), std::string::npos) << listed.out;

  Outcome shown = Run({"alerts", "show", std::to_string(mine + 1)});
  ASSERT_EQ(shown.status, 0);
  EXPECT_NE(shown.out.find("Description: it's here\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("AlertID:     T1\n"), std::string::npos) << shown.out;

  EXPECT_EQ(Run({"alerts", "delete", std::to_string(mine)}).status, 0);
  EXPECT_EQ(Field(mine, kColStore), "(missing)");
  EXPECT_EQ(Run({"alerts", "delete", std::to_string(mine)}).status, 1);
  EXPECT_EQ(Run({"alerts", "show", "99"}).status, 1);
  EXPECT_EQ(Run({"alerts", "show", "x"}).status, 2);
  EXPECT_EQ(Run({"alerts", "post", "S", "256", "a", "b"}).status, 2);
}

TEST_F(HearthctlAlertsTest, LogsAndDump) {
  ASSERT_TRUE(CheckIMDBObject());
  EXPECT_EQ(Run({"logs", "privacy"}).out, "");
  ASSERT_EQ(Run({"logs", "write", "Privacy", "3", "cookie removed"}).status, 0);
  ASSERT_EQ(Run({"logs", "write", "Privacy", "4", "history cleared"}).status, 0);
  EXPECT_TRUE(AnyPrivacyEntries());
  std::string report = GetPrivacyReport();
  std::replace(report.begin(), report.end(), '\x01', '\n');
  Outcome privacy = Run({"logs", "privacy"});
  EXPECT_EQ(privacy.out, report + "\n");
  EXPECT_NE(privacy.out.find("\t3\tcookie removed\n"), std::string::npos);

  Outcome dumped = Run({"alerts", "dump"});
  ASSERT_EQ(dumped.status, 0);
  EXPECT_NE(dumped.out.find((root_ / "LogEntries.txt").string() + "\n"), std::string::npos);
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "LogSettings.csv"), "LogName,MaxLogAge\n");
}

}  // namespace
}  // namespace alerts::testing
