#include "settings/users/sync_users.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/basic/string_functions.h"
#include "platform/basic/variant.h"
#include "platform/xml/document.h"
#include "service/init/testing/init_test_support.h"
#include "settings/files/settings_file_base.h"

namespace settings {
namespace {

using init_testing::FindMessage;
using init_testing::RunOnFreshThread;
using init_testing::SystemLogMessages;
using init_testing::Text;
using init_testing::User;

constexpr char kA[] = "S-1-22-1-1000";
constexpr char kB[] = "S-1-22-1-1001";
constexpr char kC[] = "S-1-22-1-1002";

bool IsBooleanValue(const platform::Variant& value, bool expected) {
  return value.IsBoolean() && value.BoolValue() == expected;
}

std::string UserValue(const SettingsPtr& system, const std::string& sid, const std::string& suffix) {
  return Text(system, "user." + sid + suffix);
}

// The messages from "Beginning SyncUsers" on.
std::vector<std::string> SyncMessages() {
  std::vector<std::string> all = SystemLogMessages();
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].rfind("Beginning SyncUsers", 0) == 0) return {all.begin() + i, all.end()};
  }
  return {};
}

class SyncUsersTest : public init_testing::InitTest {
 protected:
  // The live settings file the identifier names.
  static std::string OwnFile(const std::string& sid) { return SettingsFilePathsFor(SettingsFileBase(sid)).live; }

  // Puts a known user into the system collection, with a file of its own.
  std::string AddKnownUser(const SettingsPtr& system, const std::string& sid, const std::string& user_id,
                           bool is_admin) {
    const std::string file = OwnFile(sid);
    testing_support::WriteFileBytes(file, "settings of " + user_id);
    system->SetValue("user." + sid + ".filename", platform::Variant(file));
    system->SetValue("user." + sid + ".userid", platform::Variant(user_id));
    system->SetValue("user." + sid + ".friendlyname", platform::Variant(user_id + " (old name)"));
    system->SetValue("user." + sid + ".isadmin", platform::Variant(is_admin));
    system->SetValue("user." + sid, platform::Variant("x"));
    return file;
  }
};

TEST_F(SyncUsersTest, NewKnownAndVanishedUsersInMultiUserMode) {
  users_->records = {User(kA, "alice", "Alice Example"), User(kC, "carol", "Carol Example")};
  RunOnFreshThread([&] {
    SettingsPtr system =
        InstallSystem({{"legacy.featuremultiuser", "True"}, {"users.sids", std::string(kA) + "|" + kB + "|"}});
    AddKnownUser(system, kA, "alice", true);
    const std::string b_file = AddKnownUser(system, kB, "bob", false);

    SyncUsers();

    // B is gone: its five settings and its file.
    for (const char* suffix : {".filename", ".userid", ".friendlyname", ".isadmin", ""}) {
      EXPECT_FALSE(system->Exists("user." + platform::LCase(kB) + suffix)) << suffix;
    }
    EXPECT_FALSE(std::filesystem::exists(b_file));
    // A is refreshed and keeps its administrator flag.
    EXPECT_EQ(UserValue(system, kA, ".userid"), "alice");
    EXPECT_EQ(UserValue(system, kA, ".friendlyname"), "Alice Example");
    EXPECT_TRUE(system->GetValueB(std::string("user.") + kA + ".isadmin"));
    // C is new: entries and a file of its own.
    EXPECT_EQ(UserValue(system, kC, ".userid"), "carol");
    EXPECT_EQ(UserValue(system, kC, ".friendlyname"), "Carol Example");
    EXPECT_FALSE(system->GetValueB(std::string("user.") + kC + ".isadmin"));
    const std::string c_file = UserValue(system, kC, ".filename");
    EXPECT_EQ(std::filesystem::path(c_file).parent_path(), ProfileFolder());
    EXPECT_TRUE(std::filesystem::exists(c_file));
    EXPECT_EQ(Text(system, "users.sids"), std::string(kA) + "|" + kC + "|");
    EXPECT_FALSE(system->Exists("adminuser.sid"));

    SettingsPtr c = LoadStored(kC);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Text(c, "user.sid"), kC);
    EXPECT_EQ(Text(c, "user.id"), "carol");
    EXPECT_EQ(Text(c, "user.friendlyname"), "Carol Example");
    EXPECT_EQ(Text(c, "legacy.signature"), "TPv1u");
    EXPECT_TRUE(IsBooleanValue(c->GetValue("user.isguest"), false));
    EXPECT_TRUE(IsBooleanValue(c->GetValue("user.isadmin"), false));
  });

  const std::vector<std::string> expected = {
      "Beginning SyncUsers. Admin User SID is ''. Checking NT user list",
      "SyncUsers - Existing SID list is S-1-22-1-1000|S-1-22-1-1001|",
      "SyncUsers - Examining user with SID S-1-22-1-1000",
      "SyncUsers - SID in original list, not a new user.",
      "SyncUsers - Examining user with SID S-1-22-1-1002",
      "SyncUsers - SID is not in original list - new user settings required",
      "SyncUsers - Existing SID list is S-1-22-1-1000|S-1-22-1-1001|",
      "SyncUsers - New SID list is |S-1-22-1-1002|",
      "SyncUsers - OK SID list is S-1-22-1-1000|",
      "SyncUsers - Delete SID list is S-1-22-1-1001|",
      "SyncUsers - Removing user settings for SID S-1-22-1-1001",
      "SyncUsers - removing file '" + OwnFile(kB) + "'",
      "SyncUsers - Updating user settings for SID S-1-22-1-1000",
      "SyncUsers - Creating user settings for SID S-1-22-1-1002",
  };
  std::vector<std::string> messages = SyncMessages();
  // The settings store logs its own lines in between; keep ours.
  std::erase_if(messages,
                [](const std::string& m) { return m.rfind("SyncUsers", 0) != 0 && m.rfind("Beginning", 0) != 0; });
  EXPECT_EQ(messages, expected);
}

TEST_F(SyncUsersTest, TheAdministratorNamedByTheActionIsCreatedAsAdministrator) {
  users_->records = {User(kA, "alice", "Alice"), User(kB, "bob", "Bob")};
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"legacy.featuremultiuser", "true"}, {"users.sids", "*|"}});
    platform::xml::Document action;
    ASSERT_TRUE(action.LoadXml(std::string("<action type=\"syncusers\" adminusersid=\"") + kB + "\"/>"));

    SyncUsers(action.DocumentElement());

    EXPECT_EQ(Text(system, "adminuser.sid"), kB);
    EXPECT_TRUE(system->GetValueB(std::string("user.") + kB + ".isadmin"));
    EXPECT_FALSE(system->GetValueB(std::string("user.") + kA + ".isadmin"));
    EXPECT_EQ(Text(system, "users.sids"), std::string(kA) + "|" + kB + "|");
    SettingsPtr b = LoadStored(kB);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Text(b, "legacy.signature"), "TPv1a");
    EXPECT_TRUE(IsBooleanValue(b->GetValue("user.isadmin"), true));
    EXPECT_EQ(Text(LoadStored(kA), "legacy.signature"), "TPv1u");
  });
  EXPECT_EQ(SyncMessages().at(0),
            std::string("Beginning SyncUsers. Admin User SID is '") + kB + "'. Checking NT user list");
}

TEST_F(SyncUsersTest, SingleUserModeLeavesOnlyTheGuest) {
  users_->records = {User(kA, "alice", "Alice")};
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"users.sids", std::string("*|") + kA + "|"}});
    const std::string a_file = AddKnownUser(system, kA, "alice", false);

    SyncUsers();

    EXPECT_FALSE(system->Exists("user." + platform::LCase(kA) + ".userid"));
    EXPECT_FALSE(std::filesystem::exists(a_file));
    EXPECT_FALSE(system->Exists("user.*.filename"));  // the guest is never created here
    EXPECT_EQ(Text(system, "users.sids"), "*|");
  });
  std::vector<std::string> messages = SyncMessages();
  EXPECT_NE(FindMessage(messages, "SyncUsers - Examining user with SID *"), -1);
  EXPECT_NE(FindMessage(messages, "SyncUsers - OK SID list is *|"), -1);
  EXPECT_NE(FindMessage(messages, "SyncUsers - Delete SID list is S-1-22-1-1000|"), -1);
  EXPECT_EQ(FindMessage(messages, "SyncUsers - Updating user settings for SID *"), -1);
}

TEST_F(SyncUsersTest, AnEmptyListExaminesNobody) {
  users_->records = {User(kA, "alice", "Alice")};
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"legacy.featuremultiuser", "true"}});
    SyncUsers();
    EXPECT_EQ(Text(system, "users.sids"), "");
    EXPECT_FALSE(system->Exists("user." + platform::LCase(kA) + ".userid"));
  });
  EXPECT_EQ(FindMessage(SyncMessages(), std::string("SyncUsers - Examining user with SID ") + kA), -1);
}

TEST_F(SyncUsersTest, IdentifiersAreMatchedAsWholeEntries) {
  users_->records = {User("S-1-22-1-10000", "ten", "Ten"), User("s-1-22-1-1000", "one", "One")};
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"legacy.featuremultiuser", "true"}, {"users.sids", "S-1-22-1-1000|"}});
    AddKnownUser(system, "S-1-22-1-1000", "one", false);
    SyncUsers();
    EXPECT_EQ(Text(system, "users.sids"), "s-1-22-1-1000|S-1-22-1-10000|");
    EXPECT_TRUE(system->Exists("user.s-1-22-1-10000.filename"));
  });
  std::vector<std::string> messages = SyncMessages();
  EXPECT_NE(FindMessage(messages, "SyncUsers - New SID list is |S-1-22-1-10000|"), -1);
  EXPECT_NE(FindMessage(messages, "SyncUsers - Delete SID list is "), -1);
}

TEST_F(SyncUsersTest, AUserWithoutDetailsIsSkippedAndExaminedAgainNextTime) {
  users_->records = {User(kA, "", "No Login Name"), User(kB, "bob", "Bob"), User(kB, "bob", "Bob")};
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"legacy.featuremultiuser", "true"}, {"users.sids", "*|"}});
    SyncUsers();
    EXPECT_EQ(Text(system, "users.sids"), std::string(kB) + "|");  // B once, although listed twice
    EXPECT_FALSE(system->Exists("user." + platform::LCase(kA) + ".filename"));
  });
  std::vector<std::string> messages = SyncMessages();
  EXPECT_NE(FindMessage(messages, std::string("SyncUsers - Error retrieving NTUser details for SID ") + kA), -1);
  EXPECT_NE(FindMessage(messages, std::string("SyncUsers - New SID list is |") + kA + "|" + kB + "|"), -1);
}

TEST_F(SyncUsersTest, AFailingUserListRemovesNobody) {
  users_->fail = true;
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"legacy.featuremultiuser", "true"}, {"users.sids", std::string(kA) + "|*|"}});
    const std::string a_file = AddKnownUser(system, kA, "alice", true);
    SyncUsers();
    EXPECT_TRUE(std::filesystem::exists(a_file));
    EXPECT_EQ(UserValue(system, kA, ".userid"), "alice");
    EXPECT_TRUE(system->GetValueB(std::string("user.") + kA + ".isadmin"));
    EXPECT_EQ(Text(system, "users.sids"), std::string(kA) + "|*|");
  });
  std::vector<std::string> messages = SyncMessages();
  EXPECT_NE(FindMessage(messages,
                        "SyncUsers - Could not read the user list (user list unavailable); keeping every "
                        "known user"),
            -1);
  EXPECT_NE(FindMessage(messages, std::string("SyncUsers - Error retrieving NTUser details to update SID ") + kA), -1);
  EXPECT_NE(FindMessage(messages, "SyncUsers - Delete SID list is "), -1);
}

TEST_F(SyncUsersTest, OnlySettingsFilesOfTheProfileFolderAreDeleted) {
  const std::string outside = (root_ / "precious.exl").string();
  const std::string other = ProfileFolder() + "/notes.txt";
  testing_support::WriteFileBytes(outside, "keep");
  testing_support::WriteFileBytes(other, "keep");
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem({{"users.sids", std::string(kA) + "|" + kB + "|" + kC + "|"}});
    AddKnownUser(system, kA, "alice", false);
    system->SetValue(std::string("user.") + kA + ".filename", platform::Variant(outside));
    AddKnownUser(system, kB, "bob", false);
    system->SetValue(std::string("user.") + kB + ".filename", platform::Variant(other));
    const std::string c_file = AddKnownUser(system, kC, "carol", false);
    const std::string spelt_otherwise =
        ProfileFolder() + "/../prf/./" + std::filesystem::path(c_file).filename().string();
    system->SetValue(std::string("user.") + kC + ".filename", platform::Variant(spelt_otherwise));
    SyncUsers();
    EXPECT_FALSE(std::filesystem::exists(c_file));
    EXPECT_FALSE(system->Exists("user." + platform::LCase(kA) + ".filename"));
  });
  EXPECT_TRUE(std::filesystem::exists(outside));
  EXPECT_TRUE(std::filesystem::exists(other));
  EXPECT_NE(FindMessage(SyncMessages(),
                        "SyncUsers - '" + outside + "' is not the settings file of SID " + kA + "; left in place"),
            -1);
}

TEST_F(SyncUsersTest, ARemovedUserNeverTakesAnotherOwnersFileWithIt) {
  // The files that a removed user's setting may point at: the system file,
  // the guest profile, a user who stays and another settings file.
  const std::string system_file = OwnFile("");
  const std::string guest_file = OwnFile("*");
  const std::string kept_user_file = OwnFile(kA);
  const std::string stranger_file = ProfileFolder() + "/stranger.exl";
  users_->records = {User(kA, "alice", "Alice Example")};
  const std::string victims[] = {system_file, guest_file, kept_user_file, stranger_file};
  for (const std::string& victim : victims) {
    SCOPED_TRACE(victim);
    testing_support::WriteFileBytes(victim, "another owner's settings");
    RunOnFreshThread([&] {
      SettingsPtr system = InstallSystem(
          {{"legacy.featuremultiuser", "True"}, {"users.sids", std::string(kA) + "|" + kB + "|"}});
      AddKnownUser(system, kA, "alice", false);
      testing_support::WriteFileBytes(victim, "another owner's settings");
      const std::string b_file = AddKnownUser(system, kB, "bob", false);
      system->SetValue(std::string("user.") + kB + ".filename", platform::Variant(victim));
      SyncUsers();
      EXPECT_FALSE(system->Exists("user." + platform::LCase(kB) + ".filename"));
      EXPECT_TRUE(std::filesystem::exists(b_file));  // named by nothing any more; never guessed at
    });
    if (victim != kept_user_file) {
      EXPECT_EQ(testing_support::ReadFileBytes(victim), "another owner's settings");
    } else {
      EXPECT_TRUE(std::filesystem::exists(victim));
    }
  }
}

TEST_F(SyncUsersTest, SettingsOfTheWrongTypeStopOnlyTheirOwnSteps) {
  users_->records = {User(kA, "alice", "Alice")};
  RunOnFreshThread([&] {
    SettingsPtr system = InstallSystem();
    system->SetValue("users.sids", platform::Variant::Null());
    system->SetValue("legacy.featuremultiuser", platform::Variant::Null());
    SyncUsers();
    EXPECT_EQ(platform::Err::Number(), platform::kErrInvalidUseOfNull);
    EXPECT_TRUE(system->GetValue("users.sids").IsNull());  // left as it was
    EXPECT_FALSE(system->Exists("user." + platform::LCase(kA) + ".filename"));
  });
  EXPECT_NE(FindMessage(SyncMessages(), "SyncUsers - Delete SID list is "), -1);
}

TEST_F(SyncUsersTest, WithoutASystemCollectionNothingHappens) {
  RunOnFreshThread([&] { SyncUsers(); });
  EXPECT_NE(FindMessage(SyncMessages(), "SyncUsers - Existing SID list is "), -1);
}

}  // namespace
}  // namespace settings
