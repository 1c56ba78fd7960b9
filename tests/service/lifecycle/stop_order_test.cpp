// The order of the stop steps, seen from the outside: the uninstall marker
// and the alert database before the plug-ins are told, ShutdownAll inside
// the stop, and SvcCtl's saves on both sides of the plug-ins' OnShutdown.
#include "contracts/product_key.h"
#include "lifecycle_fixture.h"
#include "platform/registry/registry_types.h"
#include "service/lifecycle/svc_ctl.h"
#include "systemlog/system_log.h"

namespace service {
namespace {

// Writes the collection's events into the system log, so that their places
// among the stop's own lines can be asserted.
void LogEventsOf(const settings::SettingsPtr& collection, std::function<void(const std::string&)> also = {}) {
  collection->events().Advise([also](const platform::com::EventCall& call, platform::com::Args args) {
    std::string line = "event " + std::string(call.name);
    if (!args.empty() && args[0].IsString()) line += " " + args[0].StringValue();
    WriteSystemLog(line);
    if (also) also(std::string(call.name));
  });
}

void MarkForUninstall() {
  auto registry = contracts::CreateSupportObject<contracts::RegistryObject>();
  ASSERT_TRUE(registry->CreateKey(platform::registry::kHkeyLocalMachine, contracts::kProductKey,
                                  contracts::kRegistryFullAccess));
  ASSERT_TRUE(registry->WriteString("DoUninstall", "true"));
}

TEST_F(LifecycleTest, StopWorkClosesTheStoreBeforeThePluginsAndEndsWithShutdownAll) {
  MarkForUninstall();
  TestHost host;
  OnNewThread([&] {
    InstallCollections();
    LogEventsOf(settings::GetSystemSettings());
    Service service;
    EXPECT_EQ(service.OnStop(host), 0);
    // ShutdownAll ran inside the stop: it is over when OnStop returns.
    EXPECT_EQ(LogMessages().back().find(": Exiting ShutdownAll") != std::string::npos, true)
        << LogMessages().back();
  });
  EXPECT_TRUE(AppearInOrder(LogMessages(), {
                                               Literal("Service::OnStop invoked"),
                                               Literal("event SettingChanged legacy.DoUninstall"),
                                               Literal("CloseGDB - closing IMDB"),
                                               Literal("Service::OnStop notifying feature plugins"),
                                               Literal("Service::OnStop shutting down self"),
                                               kGeneralDatePattern + Literal(": in ShutdownAll"),
                                               Literal("cSettings for '' write to main file successful."),
                                               kGeneralDatePattern + Literal(": Exiting ShutdownAll"),
                                           }));
  EXPECT_EQ(CountMatching(LogMessages(), Literal("CloseGDB - closing IMDB")), 1u);
}

TEST_F(LifecycleTest, SvcCtlSavesBeforeAndAfterThePluginsHearOfTheShutdown) {
  MarkForUninstall();
  OnNewThread([&] {
    InstallCollections();
    settings::SettingsPtr system = settings::GetSystemSettings();
    int stored = 0;
    // The first save (which, with the uninstall marker, ends by loading the
    // kept snapshot) is followed by a change, as a plug-in's OnShutdown might
    // make one: the save after the notification must catch it.
    LogEventsOf(system, [&](const std::string& event) {
      if (event == "SettingsLoaded" && ++stored == 1) system->SetValue("sys.lastword", platform::Variant("bye"));
    });
    SvcCtl control;
    int32_t ac = kSvcCtlShutdown;
    control.DoShutdown(ac);
    EXPECT_TRUE(control.DidShutdown());
    EXPECT_EQ(stored, 2);
  });
  EXPECT_TRUE(AppearInOrder(LogMessages(), {
                                               Literal("event SettingChanged legacy.DoUninstall"),
                                               Literal("CloseGDB - closing IMDB"),
                                               Literal("cSettings for '' write to main file successful."),
                                               Literal("event SettingChanged sys.lastword"),
                                               Literal("No plugins to notify"),
                                               Literal("cSettings for '' write to main file successful."),
                                               kGeneralDatePattern + Literal(": in ShutdownAll"),
                                           }));
}

}  // namespace
}  // namespace service
