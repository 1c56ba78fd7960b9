// Granting users rights and temporary file names.
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "folders_fixture.h"
#include "platform/basic/err.h"
#include "settings/folders/rights/grant_users_rights.h"
#include "settings/folders/rights/make_temp_file_name.h"

namespace settings {
namespace {

namespace fs = std::filesystem;

class FakeRights : public contracts::RightsComponent {
 public:
  explicit FakeRights(std::string answer) : answer_(std::move(answer)) {}
  std::string Grant(int32_t trustee, const std::string& path, uint32_t access_mask, int32_t flags) override {
    calls.push_back({trustee, path, access_mask, flags});
    if (answer_ == "throw") platform::RaiseError(70, "Permission denied");
    return answer_;
  }
  struct Call {
    int32_t trustee;
    std::string path;
    uint32_t access_mask;
    int32_t flags;
  };
  std::vector<Call> calls;

 private:
  std::string answer_;
};

TEST_F(FoldersTest, GrantUsersRightsLogsTheComponentsAnswer) {
  struct Case {
    std::string answer;
    std::string last_line;
  };
  const Case cases[] = {
      {"OK", "Rights granted successfully"},
      {"group users not found", "Could not grant rights. The error was 'group users not found'"},
      {"", "Could not grant rights. The error was ''"},
      {"throw", "Could not grant rights. The error was 'Permission denied'"},
  };
  for (const Case& c : cases) {
    auto rights = std::make_shared<FakeRights>(c.answer);
    contracts::ScopedSupportOverride<contracts::RightsComponent> use(rights);
    fs::remove(root_ / "commonfiles/Norvale/QORC/log/hearth.log");
    GrantUsersRights("/some/folder");
    ASSERT_EQ(rights->calls.size(), 1u);
    EXPECT_EQ(rights->calls[0].trustee, 3);
    EXPECT_EQ(rights->calls[0].path, "/some/folder");
    EXPECT_EQ(rights->calls[0].access_mask, 0x10000000u);
    EXPECT_EQ(rights->calls[0].flags, 0);
    const std::string log = LogText();
    EXPECT_NE(log.find("] Granting users rights to /some/folder\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("] " + c.last_line + "\r\n"), std::string::npos) << log;
    EXPECT_FALSE(platform::Err::IsSet());
  }
}

TEST_F(FoldersTest, TempNamesEndInTheThreadsCounterAndLeaveNoFile) {
  const std::string folder = Native("commonfiles/Norvale/QORC/prf/tmp/");
  std::vector<std::string> names;
  for (int i = 0; i < 11; ++i) names.push_back(MakeTempFileName());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(TempFolderOfThread(), folder);
  EXPECT_EQ(TempNamesHandedOut(), 11);
  // Time of day in hexadecimal, 24 random bytes as 48 hexadecimal digits, the counter.
  const std::regex shape("[0-9A-F]{1,7}[0-9A-F]{48}([0-9A-F]+)");
  const char* counters[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B"};
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_EQ(names[i].rfind(folder, 0), 0u) << names[i];
    const std::string name = names[i].substr(folder.size());
    EXPECT_TRUE(std::regex_match(name, shape)) << name;
    EXPECT_EQ(name.substr(name.size() - 1), counters[i]) << name;
  }
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(FoldersTest, EveryThreadCountsItsOwnTempNames) {
  // Both threads start fresh, so the test holds in any order of tests.
  int first_count = 0;
  std::thread([&] {
    MakeTempFileName();
    MakeTempFileName();
    std::string other;
    int other_count = 0;
    std::thread([&] {
      other = MakeTempFileName();
      other_count = TempNamesHandedOut();
    }).join();
    EXPECT_EQ(other_count, 1);
    EXPECT_EQ(other.back(), '1');
    first_count = TempNamesHandedOut();
  }).join();
  EXPECT_EQ(first_count, 2);
}

TEST_F(FoldersTest, UnderTheServiceHostTheTempFolderIsOpenedToUsersOnce) {
  WriteMachineConfig("EnvironmentFlag = 1\nShortNameFlag = 1\n");
  auto rights = std::make_shared<FakeRights>("OK");
  contracts::ScopedSupportOverride<contracts::RightsComponent> use(rights);
  std::string first, second;
  std::thread([&] {  // a fresh thread: its first name makes the folder
    first = MakeTempFileName();
    second = MakeTempFileName();
  }).join();
  const std::string folder = Native("commonfiles/Norvale/QORC/prf/tmp/");
  ASSERT_EQ(rights->calls.size(), 1u);
  EXPECT_EQ(rights->calls[0].path, folder);
  EXPECT_NE(LogText().find("] Granting users rights to " + folder + "\r\n"), std::string::npos);
  // The short form of a name is the name itself here; the probe file is gone.
  EXPECT_EQ(first.rfind(folder, 0), 0u);
  EXPECT_EQ(second.back(), '2');
  EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
}  // namespace settings
