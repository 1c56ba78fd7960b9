// Start-up and shutdown of the Application object.
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/basic/err.h"
#include "service/application/application_fixture.h"

namespace service {
namespace {

using StartupTest = testing::ApplicationTest;

TEST_F(StartupTest, StartupTakesTheCollectionsResetsFlagsAndRecalculates) {
  system_->SetValue("legacy.Signature", platform::Variant("SPv1"));
  system_->SetValue("sys.uiactive", platform::Variant(true));
  system_->SetValue("features.disabled", platform::Variant("A"));
  system_->SetValue("features.allowed", platform::Variant("AF"));
  user_->SetValue("user.SID", platform::Variant("S-1-22-1-1000"));
  platform::Err::Set(5, "left over from before");

  app_->Startup(system_, user_);

  EXPECT_EQ(app_->CurrentUserSID(), "S-1-22-1-1000");
  EXPECT_EQ(app_->SystemSettings(), system_);
  EXPECT_EQ(app_->UserSettings(), user_);
  EXPECT_TRUE(system_->GetValue("sys.uiactive").IsBoolean());
  EXPECT_FALSE(system_->GetValueB("sys.uiactive"));
  EXPECT_EQ(Text(*system_, "features.disabled"), "");
  EXPECT_EQ(Text(*system_, "features.runnable"), "AF");
  EXPECT_EQ(events_, (std::vector<std::string>{"1 OnStartup"}));

  const auto lines = LogMessagesStartingWith("ShApplication.Startup:");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(ShApplication\.Startup: my thread=0x[0-9A-F]+ sig=SPv1 User SID=S-1-22-1-1000 Err=)")))
      << lines[0];
  EXPECT_FALSE(platform::Err::IsSet());
}

TEST_F(StartupTest, StartupWithoutCollectionsReportsTheErrorAndGoesOn) {
  app_->Startup(nullptr, nullptr);
  EXPECT_EQ(app_->CurrentUserSID(), "");
  EXPECT_EQ(events_, (std::vector<std::string>{"1 OnStartup"}));
  const auto lines = LogMessagesStartingWith("ShApplication.Startup:");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(.* sig= User SID= Err=.+)"))) << lines[0];
  EXPECT_FALSE(platform::Err::IsSet());
}

TEST_F(StartupTest, ShutdownStoresDirtyCollectionsAndRaisesOnShutdown) {
  StartWithUser();
  system_->SetValue("sys.note", platform::Variant("system"));
  user_->SetValue("user.note", platform::Variant("ann's"));

  app_->Shutdown();

  EXPECT_EQ(Text(*ReadStored(""), "sys.note"), "system");
  EXPECT_EQ(Text(*ReadStored("S-1"), "user.note"), "ann's");
  EXPECT_EQ(events_, (std::vector<std::string>{"2 OnShutdown"}));
  const auto lines = LogMessagesStartingWith("ShApplication.Shutdown:");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(ShApplication\.Shutdown: my thread=0x[0-9A-F]+ Err=)"))) << lines[0];
}

TEST_F(StartupTest, ShutdownLeavesCleanCollectionsAndUsersWithoutIdentifierAlone) {
  StartWithUser();
  user_->RemoveValue("user.sid");
  user_->SetValue("user.note", platform::Variant("nobody's"));
  app_->Shutdown();
  EXPECT_FALSE(Stored(""));
  EXPECT_FALSE(Stored("S-1"));
  EXPECT_FALSE(Stored(""));
}

}  // namespace
}  // namespace service
