#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/dispatch_table.h"
#include "plugin_fixture.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/host/plugin_call_watch.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/notify_feature_plugins.h"
#include "plugins/notify/shared_io_notify.h"
#include "service/init/svc_init.h"

namespace plugins {
namespace {

using init_testing::RunOnFreshThread;
using plugin_testing::Entry;
using plugin_testing::EventContext;
using plugin_testing::Journal;
using plugin_testing::OnPluginEvent;
using platform::Variant;

// Stands in for the Application object: counts SettingsChanged calls.
class FakeApplication : public platform::com::Object {
 public:
  int settings_changed = 0;

 protected:
  const platform::com::DispatchTable* Dispatch() const override {
    static const platform::com::DispatchTable table = platform::com::DispatchTable::Of<FakeApplication>({
        {"SettingsChanged", platform::com::ArgRange{0, 1}, [](FakeApplication& self) { ++self.settings_changed; }},
    });
    return &table;
  }
};

// A plug-in data object of the test's own.
class Data : public platform::com::Object {
 public:
  explicit Data(int id) : id(id) {}
  int id;
};

class PluginNotifyTest : public plugin_testing::PluginTest {
 protected:
  // Two plug-ins, one of each kind, loaded on the calling thread.
  settings::SettingsPtr LoadBoth() {
    plugin_testing::RegisterEventsPlugin("Test.Events");
    plugin_testing::RegisterNotifierPlugin("Test.Notifier");
    auto system = InstallSystem();
    SetPluginList(Entry("Test.Events", "1") + Entry("Test.Notifier", "2"));
    QueryFeaturePlugins();
    Journal().clear();
    Mark();
    return system;
  }
};

// A plug-in call that hangs until the watch has spoken: the watch's limit is
// shortened and its report opens the gate the plug-in waits on, so a case
// waits for nothing but the watch itself. The wait is bounded, so a broken
// watch fails the case instead of hanging it.
class WatchGate {
 public:
  WatchGate(std::string progid, std::string hang_in) : opened_(gate_.get_future().share()) {
    SetPluginCallLimit(std::chrono::milliseconds(50));
    SetPluginCallReportHook([this](const std::string&) {
      if (reports_.fetch_add(1) == 0) gate_.set_value();
    });
    OnPluginEvent() = [this, progid = std::move(progid), hang_in = std::move(hang_in)](EventContext& c) {
      if (c.progid != progid || c.event != hang_in) return;
      gave_up_ = opened_.wait_for(std::chrono::seconds(20)) != std::future_status::ready;
    };
  }
  ~WatchGate() {
    OnPluginEvent() = nullptr;
    SetPluginCallReportHook({});
    SetPluginCallLimit(std::chrono::seconds(30));
  }
  bool gave_up() const { return gave_up_; }
  int reports() const { return reports_.load(); }

 private:
  std::promise<void> gate_;
  std::shared_future<void> opened_;
  std::atomic<int> reports_{0};
  bool gave_up_ = false;
};

// Safe mode without network loads no settings, but the start still wires in
// the shared cIoNotify object, and the plug-ins get it with OnStartup.
TEST_F(PluginNotifyTest, InSafeModeWithoutNetworkPlugInsStillGetTheIoNotifyObject) {
  WriteMachineConfig("CleanBoot = 1\n");
  SetIoNotifyFactory({});  // as in a fresh process
  RunOnFreshThread([&] {
    service::SvcInit::Init();
    settings::SettingsPtr system = LoadBoth();
    platform::com::ObjectPtr heard;
    bool told = false;
    OnPluginEvent() = [&](EventContext& c) {
      if (c.event != "OnStartup" || c.io_notify == nullptr) return;
      told = true;
      heard = *c.io_notify;
    };
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    OnPluginEvent() = nullptr;
    EXPECT_TRUE(told);
    EXPECT_NE(heard, nullptr);
    EXPECT_EQ(heard, GetSharedIoNotify());
  });
}

TEST_F(PluginNotifyTest, APlugInCallThatDoesNotReturnIsLoggedOnceWithItsProgIdAndEvent) {
  RunOnFreshThread([&] {
    settings::SettingsPtr system = LoadBoth();
    {
      WatchGate watch("Test.Events", "OnDeviceChange");
      NotifyFeaturePlugins(typelib::OnDeviceChange, system, settings::GetUserSettings());
      // A call that returns in time is not reported.
      NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
      EXPECT_FALSE(watch.gave_up());
      EXPECT_EQ(watch.reports(), 1);
    }
    const auto lines = MessagesSinceMark();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "IoCoreEvents::NotifyFeaturePlugins: Test.Events has not returned from OnDeviceChange after "
                         "50 ms"),
              1);
    for (const std::string& line : lines) EXPECT_EQ(line.find("has not returned from OnStartup"), std::string::npos);
  });
}

// Not only events: creation (with the start-up exchange), GetStatus and
// DoNotify run the plug-in's code on the service thread too.
TEST_F(PluginNotifyTest, EveryOtherPlugInCallThatDoesNotReturnIsLoggedOnceWithItsProgIdAndCall) {
  struct Case {
    const char* progid;
    const char* hang_in;  // the event the plug-in hangs in (plugin_fixture.h)
    bool load_first;      // the call is made of a loaded plug-in
    std::function<void()> call;
    const char* line;
  };
  const Case cases[] = {
      {"Test.Notifier", "GetBranding", false, [] { QueryFeaturePlugins(); },
       "cPluginHost: Test.Notifier has not returned from CreatePlugin after 50 ms"},
      {"Test.Events", "GetStatus(x)", true, [] { GetFeaturePluginStatus("Test.Events", "x"); },
       "cPluginHost: Test.Events has not returned from GetStatus after 50 ms"},
      {"Test.Notifier", "GetStatus.y", true, [] { GetFeaturePluginStatus("Test.Notifier", "y"); },
       "cPluginHost: Test.Notifier has not returned from GetStatus after 50 ms"},
      {"Test.Notifier", "UpdateSchedule", true,
       [] {
         auto host = std::dynamic_pointer_cast<cPluginHost>(FeaturePluginHost("Test.Notifier"));
         ASSERT_NE(host, nullptr);
         std::string name = "UpdateSchedule";
         Variant param1, param2;
         host->DoNotify(name, param1, param2);
       },
       "cPluginHost: Test.Notifier has not returned from DoNotify UpdateSchedule after 50 ms"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RunOnFreshThread([&] {
      plugin_testing::RegisterEventsPlugin("Test.Events");
      plugin_testing::RegisterNotifierPlugin("Test.Notifier");
      InstallSystem();
      SetPluginList(Entry("Test.Events", "1") + Entry("Test.Notifier", "2"));
      if (c.load_first) QueryFeaturePlugins();
      Mark();
      {
        WatchGate watch(c.progid, c.hang_in);
        c.call();
        EXPECT_FALSE(watch.gave_up());
        EXPECT_EQ(watch.reports(), 1);
      }
      const auto lines = MessagesSinceMark();
      EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(c.line)), 1);
    });
  }
}

TEST_F(PluginNotifyTest, EveryNotifyTypeReachesTheHostOperationOfItsRow) {
  struct Row {
    typelib::NotifyType nt;
    const char* word;        // nullptr: reaches nobody
    const char* events;      // what the events plug-in hears
    const char* notifier;    // what the notifier plug-in hears
  };
  const Row rows[] = {
      {typelib::OnStartup, "OnStartup", "OnStartup", "OnStartup"},
      {typelib::OnShutdown, "OnShutdown", "OnShutdown", "OnSvcShutdown"},
      {typelib::OnUserSwitch, "OnUserSwitch", "OnUserSwitch", "OnUserLogon"},
      {typelib::OnSettingsChange, "OnSettingsChange", "OnSettingsChange(True)", "OnSettingsChange"},
      {typelib::OnUserSettingsChange, "OnUserSettingsChange", "OnUserSettingsChange", "OnSettingsChange"},
      {typelib::OnGuiShutdown, "OnGuiShutdown", "OnGuiShutdown", "OnGuiShutdown"},
      {typelib::OnInstallStart, nullptr, nullptr, nullptr},
      {typelib::OnInstallEnd, nullptr, nullptr, nullptr},
      {typelib::OnDeviceChange, "OnDeviceChange", "OnDeviceChange", "OnDeviceChange"},
      {typelib::OnUserLogoff, "OnUserLogoff", nullptr, "OnUserLogoff"},
      {typelib::OnUserLogon, "OnUserLogon", "OnUserSwitch", "OnUserLogon"},
      {static_cast<typelib::NotifyType>(11), nullptr, nullptr, nullptr},
  };
  for (const Row& row : rows) {
    RunOnFreshThread([&] {
      auto system = LoadBoth();
      NotifyFeaturePlugins(row.nt, system, settings::GetUserSettings(), true);
      std::vector<std::string> heard;
      if (row.events) heard.push_back(std::string("Test.Events:") + row.events);
      if (row.notifier) heard.push_back(std::string("Test.Notifier:") + row.notifier);
      EXPECT_EQ(Journal(), heard) << row.nt;
      std::vector<std::string> expected = {"Notifying 2 plugins"};
      if (row.word) {
        for (const char* p : {"Test.Events", "Test.Notifier"}) {
          expected.push_back(std::string("IoCoreEvents::NotifyFeaturePlugins: Sending ") + row.word + " to " + p);
          expected.push_back(std::string("IoCoreEvents::NotifyFeaturePlugins: Sent ") + row.word + " to " + p);
        }
      }
      expected.push_back("Error after event notification is ''");
      expected.push_back("IoCoreEvents.NotifyFeaturePlugins: updating WmiInfo value");
      expected.push_back("IoCoreEvents.NotifyFeaturePlugins: finished updating WmiInfo value");
      EXPECT_EQ(MessagesSinceMark(), expected) << row.nt;
    });
  }
}

TEST_F(PluginNotifyTest, TheStartupExchangeRunsOnceAtCreationAndStatusSendsGetStatusDot) {
  RunOnFreshThread([&] {
    plugin_testing::RegisterNotifierPlugin("Test.Notifier");
    InstallSystem();
    SetPluginList(Entry("Test.Notifier", "2"));
    QueryFeaturePlugins();
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Test.Notifier:GetBranding", "Test.Notifier:SetBranding",
                                                   "Test.Notifier:GetSettings", "Test.Notifier:SetSettings"}));
    Journal().clear();
    EXPECT_FALSE(GetFeaturePluginStatus("test.notifier", ""));
    EXPECT_FALSE(GetFeaturePluginStatus("Test.Notifier", "av"));
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Test.Notifier:GetStatus.", "Test.Notifier:GetStatus.av"}));
  });
}

TEST_F(PluginNotifyTest, PlugInDataReplacedDuringAnEventIsWhatTheNextEventAndTheQueriesGet) {
  RunOnFreshThread([&] {
    auto system = LoadBoth();
    std::vector<int> seen;
    OnPluginEvent() = [&](EventContext& c) {
      auto data = platform::com::QueryInterface<Data>(*c.plugin_data);
      seen.push_back(data ? data->id : 0);
      *c.plugin_data = std::make_shared<Data>(static_cast<int>(seen.size()));
    };
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    NotifyFeaturePlugins(typelib::OnDeviceChange, system, settings::GetUserSettings());
    // Events plug-in then notifier, twice: each sees what it left last time.
    EXPECT_EQ(seen, (std::vector<int>{0, 0, 1, 2}));
    auto events_data = platform::com::QueryInterface<Data>(GetFeaturePluginData("Test.Events"));
    auto notifier_data = platform::com::QueryInterface<Data>(GetFeaturePluginData("TEST.NOTIFIER"));
    ASSERT_TRUE(events_data && notifier_data);
    EXPECT_EQ(events_data->id, 3);
    EXPECT_EQ(notifier_data->id, 4);
    OnPluginEvent() = nullptr;
    EXPECT_TRUE(GetFeaturePluginStatus("Test.Events", "sub"));
    EXPECT_FALSE(GetFeaturePluginStatus("Missing.Plugin", "sub"));
    EXPECT_EQ(GetFeaturePluginData("Missing.Plugin"), nullptr);
    const std::vector<std::string> lines = MessagesSinceMark();
    EXPECT_EQ(lines.back(), "IoCoreEvents.GetFeaturePluginData - could not find object 'Missing.Plugin'");
    EXPECT_EQ(lines[lines.size() - 2], "IoCoreEvents.GetFeaturePluginStatus - could not find object 'Missing.Plugin'");
    EXPECT_EQ(lines[lines.size() - 3], "IoCoreEvents.GetFeaturePluginStatus - status OK for 'Test.Events' substatus=sub");
    EXPECT_EQ(lines[lines.size() - 4], "IoCoreEvents.GetFeaturePluginStatus - plugindata object found for 'Test.Events'");
  });
}

TEST_F(PluginNotifyTest, SettingsChangedFlagSetDuringUserSwitchCallsSettingsChangedOnceAndIsGone) {
  RunOnFreshThread([&] {
    auto system = LoadBoth();
    auto application = std::make_shared<FakeApplication>();
    service::SetApplicationObject(application);
    OnPluginEvent() = [&](EventContext& c) {
      if (c.progid == "Test.Events" && c.settings && *c.settings) {
        platform::com::CallByName(*c.settings, "SetValue", {Variant("tmp.SettingsChanged"), Variant(true)});
      }
    };
    NotifyFeaturePlugins(typelib::OnUserSwitch, system, settings::GetUserSettings());
    EXPECT_EQ(application->settings_changed, 1);
    EXPECT_FALSE(system->Exists("tmp.settingschanged"));
    // Set during OnSettingsChange itself, the flag waits for the next other
    // notification.
    NotifyFeaturePlugins(typelib::OnSettingsChange, system, settings::GetUserSettings());
    EXPECT_EQ(application->settings_changed, 1);
    EXPECT_TRUE(system->Exists("tmp.settingschanged"));
    OnPluginEvent() = nullptr;
    NotifyFeaturePlugins(typelib::OnDeviceChange, system, settings::GetUserSettings());
    EXPECT_EQ(application->settings_changed, 2);
    EXPECT_FALSE(system->Exists("tmp.settingschanged"));
    service::SetApplicationObject(nullptr);
  });
}

TEST_F(PluginNotifyTest, ClosingWindowsSilencesEveryLaterNotification) {
  RunOnFreshThread([&] {
    auto system = LoadBoth();
    service::SetClosingWindows(true);
    NotifyFeaturePlugins(typelib::OnShutdown, system, settings::GetUserSettings());
    service::SetClosingWindows(false);
    EXPECT_TRUE(Journal().empty());
    const std::vector<std::string> lines = MessagesSinceMark();
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with("IoCoreEvents::NotifyFeaturePlugins: Closing Windows - NOT Sending event to "));
  });
}

TEST_F(PluginNotifyTest, ThrowingAndRaisingPlugInsAreContainedAndTheWalkGoesOn) {
  const std::vector<std::function<void()>> failures = {
      [] { throw std::runtime_error("plug-in bug"); },
      [] { platform::RaiseError(5, "raised by the plug-in"); },
      [] { platform::Err::Set(7, "left pending by the plug-in"); },
      [] { throw 42; },
  };
  for (const auto& fail : failures) {
    RunOnFreshThread([&] {
      auto system = LoadBoth();
      OnPluginEvent() = [&](EventContext&) { fail(); };
      NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
      EXPECT_EQ(Journal(), (std::vector<std::string>{"Test.Events:OnStartup", "Test.Notifier:OnStartup"}));
      EXPECT_FALSE(GetFeaturePluginStatus("Test.Events", ""));
      EXPECT_FALSE(GetFeaturePluginStatus("Test.Notifier", ""));
      EXPECT_FALSE(platform::Err::IsSet());
      const std::vector<std::string> lines = MessagesSinceMark();
      EXPECT_NE(std::find(lines.begin(), lines.end(), "IoCoreEvents::NotifyFeaturePlugins: Sent OnStartup to Test.Notifier"),
                lines.end());
    });
  }
}

TEST_F(PluginNotifyTest, APlugInMayNotifyRequeryAndDestroyReentrantly) {
  RunOnFreshThread([&] {
    auto system = LoadBoth();
    plugin_testing::RegisterEventsPlugin("Test.Late");
    int depth = 0;
    OnPluginEvent() = [&](EventContext& c) {
      if (c.progid != "Test.Events" || c.event != "OnStartup" || depth > 0) return;
      ++depth;
      NotifyFeaturePlugins(typelib::OnDeviceChange, settings::GetSystemSettings(), settings::GetUserSettings());
      SetPluginList(Entry("Test.Events", "1") + Entry("Test.Notifier", "2") + Entry("Test.Late", "3"));
      RequeryFeaturePlugins();
      DestroyIOPluginData();
    };
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Test.Events:OnStartup", "Test.Events:OnDeviceChange",
                                                   "Test.Notifier:OnDeviceChange", "Test.Late:OnStartup",
                                                   "Test.Notifier:OnStartup"}));
    // The walk that was under way finished on its copy; the collection is
    // now the empty one.
    EXPECT_TRUE(FeaturePluginsExist());
    EXPECT_EQ(FeaturePluginCount(), 0u);
    Mark();
    NotifyFeaturePlugins(typelib::OnShutdown, system, settings::GetUserSettings());
    EXPECT_EQ(MessagesSinceMark().front(), "Notifying 0 plugins");
  });
}

TEST_F(PluginNotifyTest, RequeryAddsOnlyNewPlugInsAndStartsEachAlone) {
  RunOnFreshThread([&] {
    auto system = LoadBoth();
    plugin_testing::RegisterEventsPlugin("Test.Late");
    SetPluginList(Entry("Test.Events", "1") + Entry("Test.Notifier", "2") + Entry("Test.Late", "3"));
    Mark();
    RequeryFeaturePlugins();
    EXPECT_EQ(Journal(), (std::vector<std::string>{"Test.Late:OnStartup"}));
    EXPECT_EQ(FeaturePluginCount(), 3u);
    std::vector<std::string> lines = MessagesSinceMark();
    lines.erase(lines.begin() + 1);  // the list itself
    EXPECT_EQ(lines, (std::vector<std::string>{"Requery Feature Plugins", " Creating Plugin 'Test.Late'",
                                               " Created Plugin 'Test.Late'. Error state is ''",
                                               "IoCoreEvents::NotifyFeaturePlugins: Sending OnStartup to Test.Late",
                                               "IoCoreEvents::NotifyFeaturePlugins: Sent OnStartup to Test.Late"}));
  });
}

TEST_F(PluginNotifyTest, DestroyReleasesEveryPlugInAndLeavesAnEmptyCollection) {
  RunOnFreshThread([&] {
    auto system = LoadBoth();
    std::weak_ptr<platform::com::Object> host = FeaturePluginHost("test.events");
    ASSERT_FALSE(host.expired());
    DestroyIOPluginData();
    EXPECT_TRUE(host.expired());
    EXPECT_EQ(MessagesSinceMark(), (std::vector<std::string>{"destroyed io plugin data"}));
    EXPECT_TRUE(FeaturePluginsExist());
    EXPECT_EQ(FeaturePluginHost("Test.Events"), nullptr);
  });
}

}  // namespace
}  // namespace plugins
