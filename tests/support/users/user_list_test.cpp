#include "support/users/user_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/basic/err.h"
#include "platform/root/machine_root.h"
#include "testing/temp_root.h"

namespace support {
namespace {

std::vector<std::string> Sids(const std::vector<contracts::UserRecord>& records) {
  std::vector<std::string> sids;
  for (const auto& record : records) sids.push_back(record.SID);
  return sids;
}

TEST(ParsePasswd, ListsRootAndRegularUsersWithALoginShell) {
  const std::string passwd =
      "root:x:0:0:root:/root:/bin/bash\n"
      "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
      "alice:x:1000:1000:Alice Example,Room 1,,:/home/alice:/bin/bash\n"
      "bob:x:1001:1001::/home/bob:/bin/sh\n"
      "svc:x:1002:1002:Service:/srv:/usr/sbin/nologin\n"
      "locked:x:1003:1003:Locked:/home/locked:/bin/false\n"
      "noshell:x:1004:1004:No Shell:/home/noshell:\n"
      "nobody:x:65534:65534:nobody:/nonexistent:/bin/sh\n"
      "alias:x:1000:1000:Alias of Alice:/home/alice:/bin/bash\n"
      "# a comment\n"
      "+nis:x:1005:1005::/:/bin/sh\n"
      "short:x:1006:1006:/home/short:/bin/sh\n"
      "badid:x:12a:1:Bad:/:/bin/sh\n"
      "negative:x:-5:1:Negative:/:/bin/sh\n"
      "carol:x:1007:1007:  Carol  :/home/carol:/bin/zsh\r\n"
      "dave:x:1008:1008:,,,:/home/dave:/bin/bash";
  const std::vector<contracts::UserRecord> records = ParsePasswd(passwd, 1000, 60000);
  ASSERT_EQ(records.size(), 5u);
  struct Expected {
    std::string user_id, sid, name;
  } expected[] = {
      {"root", "S-1-22-1-0", "root"},
      {"alice", "S-1-22-1-1000", "Alice Example"},  // the first account of uid 1000 wins
      {"bob", "S-1-22-1-1001", "bob"},              // no full name: the login name
      {"carol", "S-1-22-1-1007", "Carol"},
      {"dave", "S-1-22-1-1008", "dave"},
  };
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].UserID, expected[i].user_id);
    EXPECT_EQ(records[i].SID, expected[i].sid);
    EXPECT_EQ(records[i].FriendlyName, expected[i].name);
    EXPECT_FALSE(records[i].Flag);
  }
}

TEST(ParsePasswd, RootIsListedWhateverItsShell) {
  const auto records = ParsePasswd("root:x:0:0::/root:/usr/sbin/nologin\n", 1000, 60000);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].SID, "S-1-22-1-0");
}

class UserListTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetMachineRoot(root_.path()); }
  void TearDown() override { platform::SetMachineRoot({}); }
  void Config(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  testing_support::TempRoot root_;
};

TEST_F(UserListTest, ReadsTheConfiguredDatabaseAndFilters) {
  testing_support::WriteFileBytes(root_ / "etc/passwd",
                                  "root:x:0:0:Super User:/root:/bin/bash\n"
                                  "alice:x:1000:1000:Alice:/home/alice:/bin/bash\n"
                                  "bob:x:2000:2000:Bob:/home/bob:/bin/bash\n");
  Config("PasswdFile = etc/passwd\n");
  UserList list;
  EXPECT_EQ(Sids(list.Users("")), (std::vector<std::string>{"S-1-22-1-0", "S-1-22-1-1000", "S-1-22-1-2000"}));
  EXPECT_EQ(Sids(list.Users("ALICE")), std::vector<std::string>{"S-1-22-1-1000"});
  EXPECT_EQ(Sids(list.Users("s-1-22-1-2000")), std::vector<std::string>{"S-1-22-1-2000"});
  EXPECT_TRUE(list.Users("nobody").empty());

  Config("PasswdFile = etc/passwd\nUidMin = 1500\nUidMax = 2500\n");
  EXPECT_EQ(Sids(list.Users("")), (std::vector<std::string>{"S-1-22-1-0", "S-1-22-1-2000"}));
}

TEST_F(UserListTest, AnUnreadableDatabaseIsAnError) {
  UserList list;
  Config("PasswdFile = etc/missing\n");
  try {
    list.Users("");
    FAIL() << "no error for a missing database";
  } catch (const platform::BasicError& error) {
    EXPECT_EQ(error.number(), platform::kErrFileNotFound);
    EXPECT_NE(error.description().find("etc/missing"), std::string::npos);
  }
  std::filesystem::create_directories(root_ / "etc/folder");
  Config("PasswdFile = etc/folder\n");
  try {
    list.Users("");
    FAIL() << "no error for a folder";
  } catch (const platform::BasicError& error) {
    EXPECT_EQ(error.number(), platform::kErrPathFileAccess);
  }
}

TEST_F(UserListTest, TheMachinesOwnDatabaseListsRoot) {
  UserList list;
  const auto root = list.Users("root");
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].SID, "S-1-22-1-0");
}

}  // namespace
}  // namespace support
