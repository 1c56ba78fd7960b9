#include "service/install/check_uninstall_marker.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/basic/err.h"
#include "platform/registry/registry_types.h"
#include "service/init/testing/init_test_support.h"
#include "settings/folders/uninstall_pending.h"

namespace service {
namespace {

using init_testing::RunOnFreshThread;

constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";

class UninstallMarkerTest : public init_testing::InitTest {
 protected:
  std::shared_ptr<contracts::RegistryObject> ProductKey() {
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    EXPECT_TRUE(
        registry->CreateKey(platform::registry::kHkeyLocalMachine, kProductKey, contracts::kRegistryFullAccess));
    return registry;
  }
};

TEST_F(UninstallMarkerTest, OnlyTheExactTextTrueCounts) {
  struct Case {
    std::string text;
    bool counts;
  } cases[] = {{"true", true}, {"TRUE", false}, {"True", false}, {"1", false}, {" true", false}, {"", false}};
  for (const Case& c : cases) {
    ProductKey()->WriteString("DoUninstall", c.text);
    bool pending = false;
    bool setting = false;
    RunOnFreshThread([&] {
      settings::SettingsPtr system = InstallSystem();
      CheckUninstallMarker();
      pending = settings::UninstallPending();
      setting = system->Exists("legacy.douninstall") && system->GetValueB("legacy.DoUninstall");
      EXPECT_EQ(platform::Err::Number(), 0);
    });
    SCOPED_TRACE("'" + c.text + "'");
    EXPECT_EQ(pending, c.counts);
    EXPECT_EQ(setting, c.counts);
    // The marker is consumed only when it counts.
    EXPECT_EQ(ProductKey()->ReadString("DoUninstall"), c.counts ? "" : c.text);
  }
}

TEST_F(UninstallMarkerTest, WithoutASystemCollectionTheMarkerStillCounts) {
  ProductKey()->WriteString("DoUninstall", "true");
  bool pending = false;
  RunOnFreshThread([&] {
    CheckUninstallMarker();
    pending = settings::UninstallPending();
  });
  EXPECT_TRUE(pending);
  EXPECT_EQ(ProductKey()->ReadString("DoUninstall"), "");
}

TEST_F(UninstallMarkerTest, WithoutTheProductKeyNothingChanges) {
  bool pending = true;
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    CheckUninstallMarker();
    pending = settings::UninstallPending();
    EXPECT_FALSE(system->Exists("legacy.douninstall"));
  });
  EXPECT_FALSE(pending);
}

}  // namespace
}  // namespace service
