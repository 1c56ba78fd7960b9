#include "service/init/shutdown_all.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/conversions.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "service/init/save_all_settings.h"
#include "service/init/testing/init_test_support.h"
#include "service/init/time_zone_bias.h"
#include "settings/folders/uninstall_pending.h"
#include "testing/time_zone.h"

namespace service {
namespace {

using init_testing::FindMessageEnding;
using init_testing::RunOnFreshThread;
using init_testing::SystemLogMessages;

size_t StoredFiles(const std::string& folder) {
  std::error_code error;
  size_t count = 0;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) ++count;
  return count;
}

class ShutdownAllTest : public init_testing::InitTest {};

TEST_F(ShutdownAllTest, StoresDirtySettingsReleasesPluginsAndTheApplication) {
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem({{"sys.kept", "yes"}});
    settings::SettingsPtr user = settings::GetUserSettings();
    user->SetValue("user.sid", platform::Variant("S-1-22-1-1000"));
    user->SetValue("user.colour", platform::Variant("blue"));
    SetApplicationObject(std::make_shared<platform::com::Object>());

    ShutdownAll();

    EXPECT_EQ(GetApplicationObject(), nullptr);
    EXPECT_TRUE(ShutdownDone());
    EXPECT_EQ(settings::GetSystemSettings(), system);  // stored, not released
  });
  const std::vector<std::string> messages = SystemLogMessages();
  RunOnFreshThread([&] {
    settings::SettingsPtr system = LoadStored("");
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(platform::CStr(system->GetValue("sys.kept")), "yes");
    settings::SettingsPtr user = LoadStored("S-1-22-1-1000");
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(platform::CStr(user->GetValue("user.colour")), "blue");
  });
  const int in = FindMessageEnding(messages, ": in ShutdownAll");
  const int calling = FindMessageEnding(messages, ": Calling DestroyIOPluginData", in);
  const int destroyed = FindMessageEnding(messages, "destroyed io plugin data", calling);
  const int exiting = FindMessageEnding(messages, ": Exiting ShutdownAll", destroyed);
  EXPECT_NE(in, -1);
  EXPECT_NE(calling, -1);
  EXPECT_NE(destroyed, -1);
  EXPECT_EQ(exiting, static_cast<int>(messages.size()) - 1);
  // The date and time come first.
  EXPECT_TRUE(platform::IsDate(platform::Variant(messages[in].substr(0, messages[in].find(": in ShutdownAll")))));
}

TEST_F(ShutdownAllTest, SafeModeStopsAfterTheFirstLine) {
  WriteMachineConfig("CleanBoot = 1\n");
  RunOnFreshThread([&] {
    InstallSystem({{"sys.kept", "yes"}});
    SetApplicationObject(std::make_shared<platform::com::Object>());
    ShutdownAll();
    EXPECT_NE(GetApplicationObject(), nullptr);
    EXPECT_FALSE(ShutdownDone());
  });
  const std::vector<std::string> messages = SystemLogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_NE(FindMessageEnding(messages, ": in ShutdownAll"), -1);
  EXPECT_EQ(FindMessageEnding(messages, ": Calling DestroyIOPluginData"), -1);
  EXPECT_EQ(StoredFiles(ProfileFolder()), 0u);
}

TEST_F(ShutdownAllTest, OnlyDirtyCollectionsWithAnOwnerAreStored) {
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    settings::SettingsPtr user = settings::GetUserSettings();
    user->SetValue("user.colour", platform::Variant("blue"));  // dirty, but whose?
    SaveAllSettings();
    EXPECT_EQ(StoredFiles(ProfileFolder()), 0u);

    // Not dirty: not stored, even though its file is missing.
    user->CreateSnapshotFromString(
        "<VeltrisSettings><cSettings name=\"Windows_v1.50\"><user.sid VT=\"8\">"
        "S-1-22-1-1000</user.sid></cSettings></VeltrisSettings>");
    ASSERT_FALSE(user->Dirty());
    SaveAllSettings();
    EXPECT_EQ(StoredFiles(ProfileFolder()), 0u);

    system->SetValue("sys.x", platform::Variant("1"));
    user->SetValue("user.colour", platform::Variant("red"));
    SaveAllSettings();
    EXPECT_EQ(StoredFiles(ProfileFolder()), 2u);
  });
  RunOnFreshThread([&] { EXPECT_EQ(platform::CStr(LoadStored("S-1-22-1-1000")->GetValue("user.colour")), "red"); });
}

TEST_F(ShutdownAllTest, WithoutCollectionsNothingIsStoredAndNothingFails) {
  RunOnFreshThread([&] {
    SaveAllSettings();
    ShutdownAll();
    EXPECT_TRUE(ShutdownDone());
  });
  EXPECT_EQ(StoredFiles(ProfileFolder()), 0u);
}

TEST_F(ShutdownAllTest, AnUninstallStoresTheSystemCollectionEmpty) {
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem({{"sys.secret", "value"}});
    settings::SetUninstallPending(true);
    ShutdownAll();
    EXPECT_EQ(platform::CStr(system->GetValue("sys.secret")), "value");  // memory keeps its values
  });
  RunOnFreshThread([&] {
    settings::SettingsPtr stored = LoadStored("");
    ASSERT_NE(stored, nullptr);
    EXPECT_FALSE(stored->Exists("sys.secret"));
  });
}

TEST(GetTimeZoneBias, IsMinutesFromLocalTimeToUtc) {
  testing_support::ScopedTimeZone time_zone;
  struct Case {
    const char* tz;
    int32_t bias;
  } cases[] = {{"UTC0", 0}, {"EST5", 300}, {"JST-9", -540}, {"IST-5:30", -330}};
  for (const Case& c : cases) {
    time_zone.Use(c.tz);
    EXPECT_EQ(GetTimeZoneBias(), c.bias) << c.tz;
  }
}

}  // namespace
}  // namespace service
