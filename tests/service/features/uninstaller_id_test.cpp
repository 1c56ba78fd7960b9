// SetUninstallerID and ProcessSettingsChange.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "contracts/support_objects.h"
#include "platform/basic/conversions.h"
#include "platform/registry/registry_types.h"
#include "service/features/feature_fixture.h"
#include "service/features/features.h"
#include "settings/collection/c_settings.h"

namespace service {
namespace {

using platform::Variant;

constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";

class UninstallerIdTest : public testing::ServiceRootTest {
 protected:
  void CreateProductKey() {
    auto key = contracts::CreateSupportObject<contracts::RegistryObject>();
    ASSERT_TRUE(key->CreateKey(platform::registry::kHkeyLocalMachine, kProductKey, contracts::kRegistryFullAccess));
  }
  // The value, or "<no key>".
  std::string UninstallerId() {
    auto key = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (!key->OpenKey(platform::registry::kHkeyLocalMachine, kProductKey, contracts::kRegistryRead)) return "<no key>";
    return key->ReadString("UninstallerID");
  }
};

TEST_F(UninstallerIdTest, WritesTheTrimmedIdentifierWhateverTheFlag) {
  CreateProductKey();
  SetUninstallerID(false, "  S-1-22-1-1000 ");
  EXPECT_EQ(UninstallerId(), "S-1-22-1-1000");
  SetUninstallerID(true, "*");
  EXPECT_EQ(UninstallerId(), "*");
  EXPECT_EQ(LogMessages(), (std::vector<std::string>{
                               "Setting Uninstaller ID to 'S-1-22-1-1000' (Enabled=False)",
                               "Setting Uninstaller ID to '*' (Enabled=True)",
                           }));
}

TEST_F(UninstallerIdTest, MissingProductKeyIsNotCreated) {
  SetUninstallerID(true, "*");
  EXPECT_EQ(UninstallerId(), "<no key>");
  EXPECT_TRUE(Logged("Setting Uninstaller ID to '*' (Enabled=True)"));
}

TEST_F(UninstallerIdTest, SettingsChangeRecalculatesAndFollowsTheUsersFlag) {
  CreateProductKey();
  auto system = std::make_shared<settings::cSettings>();
  system->SetValue("features.allowed", Variant("AF"));
  auto user = std::make_shared<settings::cSettings>();
  user->SetValue("legacy.privadvanced", Variant(true));

  ProcessSettingsChange(system, user, "S-1");
  EXPECT_EQ(platform::CStr(system->GetValue("features.runnable")), "AF");
  EXPECT_EQ(UninstallerId(), "S-1");
  EXPECT_TRUE(Logged("Setting Uninstaller ID to 'S-1' (Enabled=True)"));

  // A flag of the wrong type skips the registry step; no user, too.
  user->SetValue("legacy.privadvanced", Variant("perhaps"));
  ProcessSettingsChange(system, user, "S-2");
  ProcessSettingsChange(system, nullptr, "S-3");
  EXPECT_EQ(UninstallerId(), "S-1");
  EXPECT_EQ(LogMessagesStartingWith("Setting Uninstaller ID").size(), 1u);

  // No system collection: the recalculation is skipped, the rest runs.
  user->SetValue("legacy.privadvanced", Variant(false));
  ProcessSettingsChange(nullptr, user, "S-4");
  EXPECT_EQ(UninstallerId(), "S-4");
}

}  // namespace
}  // namespace service
