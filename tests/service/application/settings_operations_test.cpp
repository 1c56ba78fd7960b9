// RefreshSystemSettings, RefreshUserSettings and SaveSettingsEx.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/application/application_fixture.h"
#include "settings/folders/folders.h"

namespace service {
namespace {

using SettingsOperationsTest = testing::ApplicationTest;

TEST_F(SettingsOperationsTest, RefreshSystemSettingsReloadsAndSetsTheFolders) {
  StartWithUser();
  system_->SetValue("sys.note", platform::Variant("stored"));
  system_->WriteSnapshotToStored("");
  system_->SetValue("sys.note", platform::Variant("changed"));
  system_->SetValue("sys.ProfilePath", platform::Variant("elsewhere"));

  app_->RefreshSystemSettings();

  EXPECT_EQ(Text(*system_, "sys.note"), "stored");
  EXPECT_EQ(Text(*system_, "sys.profilepath"), settings::GetProfileFolder());
  EXPECT_EQ(Text(*system_, "sys.logpath"), settings::GetLogFolder());
  EXPECT_TRUE(system_->Exists("sys.apppath"));
}

TEST_F(SettingsOperationsTest, RefreshUserSettingsReloadsTheCurrentUsersProfile) {
  StartWithUser();
  user_->SetValue("user.note", platform::Variant("stored"));
  user_->WriteSnapshotToStored("S-1");
  user_->SetValue("user.note", platform::Variant("changed"));
  app_->RefreshUserSettings();
  EXPECT_EQ(Text(*user_, "user.note"), "stored");
  EXPECT_TRUE(Logged("Refreshing user settings for <S-1>"));
}

TEST_F(SettingsOperationsTest, RefreshUserSettingsWithoutAUserNeverLoadsTheSystemFile) {
  system_->SetValue("sys.note", platform::Variant("system"));
  system_->WriteSnapshotToStored("");
  app_->Startup(system_, user_);
  ASSERT_EQ(app_->CurrentUserSID(), "");
  app_->RefreshUserSettings();
  EXPECT_FALSE(user_->Exists("sys.note"));
  EXPECT_TRUE(Logged("Refreshing user settings for <>"));
}

TEST_F(SettingsOperationsTest, SaveSettingsExStoresACopyForItsOwnUserOnly) {
  StartWithUser();
  auto client = std::make_shared<settings::cSettings>();
  client->SetValue("user.sid", platform::Variant("S-2"));
  client->SetValue("user.note", platform::Variant("bob's"));
  client->SetValue("tmp.scratch", platform::Variant("gone"));
  MakeClean(*client);

  struct Case {
    platform::com::ObjectPtr settings;
    std::string usersid;
    bool result;
  };
  const Case refused[] = {
      {client, "", false},       // the empty identifier
      {client, "S-3", false},    // not the copy's own
      {client, "s-2", false},    // letter case counts
      {nullptr, "S-2", false},   // no collection
  };
  for (const Case& c : refused) {
    ClearLog();
    EXPECT_FALSE(app_->SaveSettingsEx(c.settings, c.usersid)) << c.usersid;
    EXPECT_EQ(LogMessagesStartingWith("Application.SaveSettingsEx:"),
              (std::vector<std::string>{"Application.SaveSettingsEx: Invalid user, SID=" + c.usersid}));
  }
  EXPECT_FALSE(Stored("S-2"));

  // Late bound, as a client calls it.
  std::vector<platform::Variant> args{platform::Variant(platform::com::ObjectPtr(client)), platform::Variant("S-2")};
  EXPECT_TRUE(platform::CBool(app_->Invoke("SaveSettingsEx", args)));
  auto stored = ReadStored("S-2");
  EXPECT_EQ(Text(*stored, "user.note"), "bob's");
  EXPECT_FALSE(stored->Exists("tmp.scratch"));
  // Neither the client's collection nor those in memory changed.
  EXPECT_FALSE(client->Dirty());
  EXPECT_FALSE(client->Exists("uncorrupted"));
  EXPECT_EQ(Text(*user_, "user.sid"), "S-1");
  EXPECT_FALSE(user_->Dirty());
}

TEST_F(SettingsOperationsTest, SaveSettingsExReportsAWriteThatFailed) {
  StartWithUser();
  // The profile folder is a file: nothing can be written into it.
  const std::filesystem::path profile = settings::GetProfileFolder();
  std::filesystem::remove_all(profile);
  testing_support::WriteFileBytes(profile, "not a folder");

  auto client = std::make_shared<settings::cSettings>();
  client->SetValue("user.sid", platform::Variant("S-2"));
  EXPECT_FALSE(app_->SaveSettingsEx(client, "S-2"));
  EXPECT_TRUE(LogMessagesStartingWith("Application.SaveSettingsEx:").empty());
}

}  // namespace
}  // namespace service
