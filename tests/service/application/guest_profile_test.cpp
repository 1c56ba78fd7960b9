// LoadSingleUserSettings: the guest profile, loaded or built from defaults.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/application/application_fixture.h"

namespace service {
namespace {

using GuestProfileTest = testing::ApplicationTest;

constexpr char kCreatedLine[] = "Invalid or missing guest profile. Creating new one from defaults";

TEST_F(GuestProfileTest, WithoutAStoredProfileTheGuestIsBuiltFromDefaultsAndStored) {
  // As start-up calls it: before Startup, on the installed collections.
  app_->LoadSingleUserSettings();

  EXPECT_TRUE(Logged(kCreatedLine));
  for (auto collection : {user_, ReadStored("*")}) {
    EXPECT_EQ(Text(*collection, "user.friendlyname"), "Visitor");
    EXPECT_EQ(Text(*collection, "user.sid"), "*");
    EXPECT_EQ(Text(*collection, "user.id"), "Visitor");
    EXPECT_TRUE(collection->GetValue("user.isguest").IsBoolean());
    EXPECT_TRUE(collection->GetValueB("user.isguest"));
    EXPECT_EQ(Text(*collection, "legacy.signature"), "TPv1a");
    EXPECT_TRUE(collection->GetValue("user.isadmin").IsString());
    EXPECT_EQ(Text(*collection, "user.isadmin"), "True");
  }
  EXPECT_EQ(Text(*system_, "adminuser.sid"), "*");
  EXPECT_EQ(app_->CurrentUserSID(), "");
  EXPECT_EQ(Notifications(), 1u);  // log-on only: nobody was logged on
}

TEST_F(GuestProfileTest, AStoredGuestProfileLoadsUnchanged) {
  StoreProfile("*", "TPv1a", "user.note", "kept");
  app_->LoadSingleUserSettings();
  EXPECT_FALSE(Logged(kCreatedLine));
  EXPECT_EQ(Text(*user_, "user.note"), "kept");
  EXPECT_EQ(Text(*user_, "user.id"), "id-*");
  EXPECT_EQ(Text(*system_, "adminuser.sid"), "*");
}

TEST_F(GuestProfileTest, ADamagedGuestProfileIsReplacedFromDefaults) {
  StoreProfile("*", "TPv1a", "user.note", "lost with the damage");
  testing_support::WriteFileBytes(LiveFile("*"), "damaged");
  app_->LoadSingleUserSettings();
  EXPECT_TRUE(Logged(kCreatedLine));
  EXPECT_FALSE(user_->Exists("user.note"));
  EXPECT_EQ(Text(*ReadStored("*"), "user.sid"), "*");
}

TEST_F(GuestProfileTest, ThePreviousUsersSettingsNeverBecomeTheGuests) {
  StartWithUser();
  user_->SetValue("user.note", platform::Variant("ann's"));
  app_->LoadSingleUserSettings();
  EXPECT_TRUE(Logged(kCreatedLine));
  EXPECT_FALSE(user_->Exists("user.note"));
  EXPECT_FALSE(ReadStored("*")->Exists("user.note"));
}

TEST_F(GuestProfileTest, AUserLoggedOnIsStoredAndLoggedOffFirst) {
  StartWithUser();
  user_->SetValue("user.note", platform::Variant("ann's"));
  app_->LoadSingleUserSettings();
  EXPECT_EQ(Text(*ReadStored("S-1"), "user.note"), "ann's");
  EXPECT_EQ(Text(*user_, "user.sid"), "*");
  EXPECT_EQ(app_->CurrentUserSID(), "S-1");  // unchanged by this operation
  EXPECT_EQ(Notifications(), 2u);
}

TEST_F(GuestProfileTest, GuestNameFallsBackToItsDefault) {
  testing_support::WriteFileBytes(root_ / "config/branding.xml", "<branding/>");
  contracts::Support().Reset();
  app_->LoadSingleUserSettings();
  EXPECT_EQ(Text(*user_, "user.friendlyname"), ".guest");
  EXPECT_EQ(Text(*user_, "user.id"), ".guest");
}

TEST_F(GuestProfileTest, WithoutCollectionsNothingBreaks) {
  settings::SetUserSettings(nullptr);
  settings::SetSystemSettings(nullptr);
  Application lone;
  lone.LoadSingleUserSettings();
  lone.SwitchUser("", "S-1");
  lone.SettingsChanged(true);
  lone.RefreshSystemSettings();
  lone.GuiShutdown();
  lone.Shutdown();
  EXPECT_FALSE(Stored("*"));
}

}  // namespace
}  // namespace service
