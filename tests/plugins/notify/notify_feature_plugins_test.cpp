#include "plugins/notify/notify_feature_plugins.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/conversions.h"
#include "platform/basic/date_time.h"
#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/dispatch_table.h"
#include "platform/com/object.h"
#include "platform/registry/registry_types.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/wmi_info.h"
#include "service/init/testing/init_test_support.h"

namespace plugins {
namespace {

using init_testing::RunOnFreshThread;
using init_testing::SystemLogMessages;

constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";
constexpr char kUpdating[] = "IoCoreEvents.NotifyFeaturePlugins: updating WmiInfo value";
constexpr char kUpdated[] = "IoCoreEvents.NotifyFeaturePlugins: finished updating WmiInfo value";
constexpr char kSettingsChangedLine[] =
    "IoCoreEvents::NotifyFeaturePlugins: Settings changed; notifying applications and plug-ins...";

// Stands in for the Application object: records SettingsChanged calls.
class FakeApplication : public platform::com::Object {
 public:
  std::vector<bool> persist_flags;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    using platform::com::Args;
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<FakeApplication>({
        {"SettingsChanged", platform::com::ArgRange{0, 1},
         [](FakeApplication& self, Args args) { self.persist_flags.push_back(platform::CBool(args[0])); }},
    });
    return &table;
  }
};

std::vector<std::string> MessagesAfter(size_t count) {
  std::vector<std::string> all = SystemLogMessages();
  return count < all.size() ? std::vector<std::string>(all.begin() + count, all.end()) : std::vector<std::string>{};
}

class NotifyTest : public init_testing::InitTest {
 protected:
  std::string ReadWmiInfo() {
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    if (!registry->OpenKey(platform::registry::kHkeyLocalMachine, kProductKey, contracts::kRegistryRead))
      return "<no key>";
    return registry->ReadString("WmiInfo");
  }
  void CreateProductKey() {
    auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
    ASSERT_TRUE(
        registry->CreateKey(platform::registry::kHkeyLocalMachine, kProductKey, contracts::kRegistryFullAccess));
  }
};

TEST_F(NotifyTest, WithoutPluginsOnlyTheStatusIsRefreshed) {
  std::vector<std::string> messages;
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    const size_t before = SystemLogMessages().size();
    platform::Err::Set(5, "left over");
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    EXPECT_EQ(platform::Err::Number(), 0);
    messages = MessagesAfter(before);
  });
  EXPECT_EQ(messages, (std::vector<std::string>{"No plugins to notify", kUpdating, kUpdated}));
}

TEST_F(NotifyTest, AfterDestroyIOPluginDataTheEmptyCollectionIsCounted) {
  std::vector<std::string> messages;
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    const size_t before = SystemLogMessages().size();
    EXPECT_FALSE(FeaturePluginsExist());
    DestroyIOPluginData();
    EXPECT_TRUE(FeaturePluginsExist());
    platform::Err::Set(5, "left over");  // not the plug-ins' error
    NotifyFeaturePlugins(typelib::OnShutdown, system, settings::GetUserSettings());
    messages = MessagesAfter(before);
  });
  EXPECT_EQ(messages, (std::vector<std::string>{"destroyed io plugin data", "Notifying 0 plugins",
                                                "Error after event notification is ''", kUpdating, kUpdated}));
}

TEST_F(NotifyTest, NothingIsSentWhileTheMachineCloses) {
  std::vector<std::string> messages;
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    const size_t before = SystemLogMessages().size();
    service::SetClosingWindows(true);
    NotifyFeaturePlugins(typelib::OnShutdown, system, settings::GetUserSettings());
    messages = MessagesAfter(before);
  });
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].rfind("IoCoreEvents::NotifyFeaturePlugins: Closing Windows - NOT Sending event to ", 0), 0u);
  EXPECT_EQ(messages[1], kUpdating);
}

TEST_F(NotifyTest, APendingSettingsChangeFollowsEveryEventButTheSettingsChangeItself) {
  struct Case {
    typelib::NotifyType nt;
    platform::Variant flag;
    bool handled;
  } cases[] = {
      {typelib::OnStartup, platform::Variant(true), true},
      {typelib::OnUserSwitch, platform::Variant("True"), true},
      {typelib::OnUserLogoff, platform::Variant(true), true},
      {typelib::OnInstallStart, platform::Variant(true), true},
      {static_cast<typelib::NotifyType>(42), platform::Variant(true), true},
      {typelib::OnSettingsChange, platform::Variant(true), false},
      {typelib::OnStartup, platform::Variant(false), false},
      {typelib::OnStartup, platform::Variant("yes"), false},  // no Boolean: nothing happens
  };
  for (const Case& c : cases) {
    auto application = std::make_shared<FakeApplication>();
    std::vector<std::string> messages;
    bool flag_left = false;
    RunOnFreshThread([&] {
      settings::SettingsPtr system = InstallSystem();
      service::SetApplicationObject(application);
      system->SetValue("tmp.SettingsChanged", c.flag);
      const size_t before = SystemLogMessages().size();
      NotifyFeaturePlugins(c.nt, system, settings::GetUserSettings());
      EXPECT_EQ(platform::Err::Number(), 0);
      flag_left = system->Exists("tmp.settingschanged");
      messages = MessagesAfter(before);
    });
    SCOPED_TRACE(static_cast<int>(c.nt));
    if (c.handled) {
      EXPECT_EQ(application->persist_flags, std::vector<bool>{true});
      EXPECT_FALSE(flag_left);
      EXPECT_EQ(messages,
                (std::vector<std::string>{"No plugins to notify", kSettingsChangedLine, kUpdating, kUpdated}));
    } else {
      EXPECT_TRUE(application->persist_flags.empty());
      EXPECT_TRUE(flag_left);
      EXPECT_EQ(messages, (std::vector<std::string>{"No plugins to notify", kUpdating, kUpdated}));
    }
  }
}

TEST_F(NotifyTest, APendingSettingsChangeWithoutApplicationIsDroppedQuietly) {
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    system->SetValue("tmp.SettingsChanged", platform::Variant(true));
    NotifyFeaturePlugins(typelib::OnUserSwitch, system, settings::GetUserSettings());
    EXPECT_FALSE(system->Exists("tmp.settingschanged"));
    EXPECT_EQ(platform::Err::Number(), 0);
    // No collections at all: still no failure.
    NotifyFeaturePlugins(typelib::OnUserSwitch, nullptr, nullptr);
    EXPECT_EQ(platform::Err::Number(), 0);
  });
}

TEST_F(NotifyTest, TheStatusSummaryIsWrittenOnlyWithAClientVersion) {
  CreateProductKey();
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    NotifyFeaturePlugins(typelib::OnSettingsChange, system, settings::GetUserSettings());
    EXPECT_EQ(ReadWmiInfo(), "");

    system->SetValue("sys.ClientVersion", platform::Variant("5.1.20"));
    NotifyFeaturePlugins(typelib::OnSettingsChange, system, settings::GetUserSettings());
    EXPECT_EQ(ReadWmiInfo(), "Client: 5.1.20; ");

    system->SetValue("legacy.featureAntivirus", platform::Variant(true));
    system->SetValue("sys.AvVersion", platform::Variant("9.0"));
    system->SetValue("sys.AvStatus", platform::Variant("Updated (now) at (NOW)"));
    NotifyFeaturePlugins(typelib::OnSettingsChange, system, settings::GetUserSettings());
    EXPECT_EQ(ReadWmiInfo(), "Client: 5.1.20; Antivirus: 9.0 Status: Updated " +
                                 platform::FormatShortDate(platform::Now()) + " at (NOW); ");
  });
}

TEST_F(NotifyTest, SummaryTable) {
  RunOnFreshThread([&] {
    struct Case {
      std::vector<std::pair<std::string, platform::Variant>> values;
      std::string summary;
    } cases[] = {
        {{}, "Client: version unknown; "},
        {{{"sys.ClientVersion", platform::Variant(7)}}, "Client: 7; "},
        {{{"legacy.featureAntivirus", platform::Variant("False")}, {"sys.AvVersion", platform::Variant("1")}},
         "Client: version unknown; "},
        {{{"legacy.featureAntivirus", platform::Variant("true")}}, "Client: version unknown; Antivirus:  Status: ; "},
    };
    for (const Case& c : cases) {
      settings::cSettings system;
      for (const auto& [name, value] : c.values) system.SetValue(name, value);
      EXPECT_EQ(WmiInfoSummary(system), c.summary);
    }
  });
}

TEST_F(NotifyTest, TheBrandChangeListenerNotifiesTwice) {
  std::vector<std::string> messages;
  RunOnFreshThread([&] {
    settings::SettingsPtr system = InstallSystem();
    InstallBrandChangeListener();
    const size_t before = SystemLogMessages().size();
    system->SetValue("tmp.dobrandchange", platform::Variant(true));
    messages = MessagesAfter(before);
    settings::SetBrandChangeListener(nullptr);
  });
  EXPECT_EQ(std::count(messages.begin(), messages.end(), "No plugins to notify"), 2);
}

}  // namespace
}  // namespace plugins
