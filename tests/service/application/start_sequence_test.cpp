// The Application object within the start and stop order of a fresh
// machine: SvcInit::Init finds no administrator and has it load the guest
// profile, start-up recalculates the features, shutdown stores everything.
#include <string>

#include <gtest/gtest.h>

#include "service/application/application_fixture.h"
#include "service/init/shutdown_all.h"
#include "service/init/svc_init.h"

namespace service {
namespace {

using StartSequenceTest = testing::ApplicationTest;

TEST_F(StartSequenceTest, FreshMachineEndsWithTheGuestProfileAndFeatureSetsStored) {
  settings::SetUserSettings(nullptr);
  settings::SetSystemSettings(nullptr);

  SvcInit::Init();
  app_->Startup(settings::GetSystemSettings(), settings::GetUserSettings());
  EXPECT_EQ(app_->CurrentUserSID(), "*");
  app_->Shutdown();
  ShutdownAll();

  auto guest = ReadStored("*");
  EXPECT_EQ(Text(*guest, "user.sid"), "*");
  EXPECT_EQ(Text(*guest, "legacy.signature"), "TPv1a");
  EXPECT_EQ(Text(*guest, "user.friendlyname"), "Visitor");
  auto system = ReadStored("");
  EXPECT_EQ(Text(*system, "adminuser.sid"), "*");
  EXPECT_EQ(Text(*system, "features.installed"), "AWF");
  EXPECT_TRUE(Logged("Invalid or missing guest profile. Creating new one from defaults"));
  EXPECT_TRUE(Logged("SvcInit::Init - loaded user settings Visitor ( Visitor )"));
  EXPECT_EQ(events_, (std::vector<std::string>{"1 OnStartup", "2 OnShutdown"}));

  // The next start (a new Application, as every start makes) finds the
  // stored guest profile and keeps it.
  ClearLog();
  SetApplicationObject(std::make_shared<Application>());
  SvcInit::Init();
  EXPECT_FALSE(Logged("Invalid or missing guest profile. Creating new one from defaults"));
  EXPECT_EQ(Text(*settings::GetUserSettings(), "user.sid"), "*");
}

}  // namespace
}  // namespace service
