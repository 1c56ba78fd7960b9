// SwitchUser: log-off, storing, loading the new user's profile, log-on.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/application/application_fixture.h"

namespace service {
namespace {

using SwitchUserTest = testing::ApplicationTest;

TEST_F(SwitchUserTest, ToAnotherStoredUserLoadsTheProfile) {
  StoreProfile("S-2", "TPv1u", "user.note", "bob's");
  StartWithUser();
  user_->SetValue("user.note", platform::Variant("ann's"));
  system_->SetValue("sys.note", platform::Variant("system"));

  app_->SwitchUser("S-0", "S-2");

  EXPECT_EQ(app_->CurrentUserSID(), "S-2");
  EXPECT_EQ(Text(*user_, "user.note"), "bob's");
  EXPECT_FALSE(user_->Dirty());
  EXPECT_EQ(Text(*ReadStored("S-1"), "user.note"), "ann's");
  EXPECT_EQ(Text(*ReadStored(""), "sys.note"), "system");
  EXPECT_EQ(Notifications(), 2u);  // log-off, log-on
  EXPECT_TRUE(Logged("SwitchUser: current=S-1 old=S-0 new=S-2"));
  EXPECT_TRUE(Logged("SwitchUser: signature=TPv1u SID=S-2"));
  EXPECT_TRUE(events_.empty());
}

TEST_F(SwitchUserTest, ToTheCurrentUserLogsOffAndStoresButDoesNotLogOnAgain) {
  StartWithUser();
  user_->SetValue("user.note", platform::Variant("ann's"));
  app_->SwitchUser("", "S-1");
  EXPECT_EQ(app_->CurrentUserSID(), "S-1");
  EXPECT_EQ(Text(*ReadStored("S-1"), "user.note"), "ann's");
  EXPECT_EQ(Notifications(), 1u);
  EXPECT_TRUE(Logged("SwitchUser: not notifying clients"));
  EXPECT_TRUE(LogMessagesStartingWith("SwitchUser: signature=").empty());
}

TEST_F(SwitchUserTest, ToNoUserClearsTheCollectionAndAnnouncesALogOn) {
  StartWithUser();
  app_->SwitchUser("S-1", "");
  EXPECT_EQ(app_->CurrentUserSID(), "");
  EXPECT_EQ(user_->Count(), 0u);
  EXPECT_EQ(Notifications(), 2u);
  // From no user: nobody to log off, and a profile to load.
  StoreProfile("S-2", "TPv1a");
  ClearLog();
  app_->SwitchUser("", "S-2");
  EXPECT_EQ(Text(*user_, "user.sid"), "S-2");
  EXPECT_EQ(Notifications(), 1u);
  EXPECT_TRUE(Logged("SwitchUser: signature=TPv1a SID=S-2"));
}

TEST_F(SwitchUserTest, UnknownUserGetsAnEmptyCollectionNotThePreviousUsersSettings) {
  StartWithUser();
  user_->SetValue("user.note", platform::Variant("ann's"));
  app_->SwitchUser("S-1", "S-9");
  EXPECT_EQ(app_->CurrentUserSID(), "S-9");
  EXPECT_EQ(user_->Count(), 0u);
  EXPECT_EQ(Text(*ReadStored("S-1"), "user.note"), "ann's");
  EXPECT_TRUE(Logged("SwitchUser: signature= SID="));
  EXPECT_FALSE(Stored("S-9"));
}

}  // namespace
}  // namespace service
