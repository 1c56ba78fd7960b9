// SvcCtl: the in-process start and stop.
#include "service/lifecycle/svc_ctl.h"

#include <regex>

#include "platform/basic/conversions.h"
#include "plugins/notify/shared_io_notify.h"

#include "contracts/lifecycle/lifecycle_state.h"
#include "lifecycle_fixture.h"
#include "settings/shared/shared_settings.h"

namespace service {
namespace {

TEST_F(LifecycleTest, SvcCtlStartsAndStops) {
  testing_support::WriteFileBytes(LogPath(), "last run\r\n");
  OnNewThread([&] {
    InstallCollections();
    SvcCtl control;
    EXPECT_TRUE(control.DoStartup());
    EXPECT_EQ(GetApplicationObject(), control.GetAppObject());
    EXPECT_TRUE(std::regex_match(control.GUID(), std::regex(R"(\{[0-9A-F-]{36}\},Veltris)"))) << control.GUID();

    int32_t ac = kSvcCtlShutdown;
    control.DoShutdown(ac);
    EXPECT_EQ(ac, kSvcCtlShutdown);
    EXPECT_FALSE(ClosingWindows());
    EXPECT_TRUE(control.DidShutdown());
    EXPECT_TRUE(control.DidShutdown());  // stays shut down; the stop does not run again
  });
  const std::vector<std::string> messages = LogMessages();
  // Without the environment flag the in-process start begins a new log.
  EXPECT_EQ(messages.front(), "System service log created, version 2.01.007");
  EXPECT_EQ(CountMatching(messages, "Product version is: .*"), 0u);
  EXPECT_EQ(CountMatching(messages, ".*Registering Application object"), 0u);
  EXPECT_TRUE(AppearInOrder(messages, {
                                          Literal("Service.OnStart: querying plugins."),
                                          Literal("Service.OnStart: Sent 'onstartup' to plugins' "),
                                          Literal("Service.OnStart: plugins notified of protection status."),
                                          Literal("Service.OnStart: complete, Err="),
                                          Literal("CloseGDB - closing IMDB"),
                                      }));
  EXPECT_EQ(CountMatching(messages, Literal("CloseGDB - closing IMDB")), 1u);
}

TEST_F(LifecycleTest, SvcCtlWithTheEnvironmentFlagKeepsTheCurrentLog) {
  WriteMachineConfig("EnvironmentFlag = yes\n");
  testing_support::WriteFileBytes(LogPath(), "[old] [1] earlier line\r\n");
  OnNewThread([&] {
    InstallCollections();
    SvcCtl control;
    control.DoStartup();
  });
  EXPECT_EQ(LogMessages().front(), "earlier line");
}

TEST_F(LifecycleTest, DoStartupReportsTheFirstFailureOfItsSteps) {
  auto failing = std::make_unique<contracts::ScopedSupportOverride<contracts::BrandingResolver>>(
      std::make_shared<FailingBranding>());
  OnNewThread([&] {
    InstallCollections();
    SvcCtl control;
    // The branding failure comes first; the plug-in notifications after it
    // clear the pending error, and still the start is reported as failed.
    EXPECT_FALSE(control.DoStartup());
    EXPECT_EQ(LogMessages().back(), "Service.OnStart: complete, Err=branding.xml is missing");
    EXPECT_EQ(control.GUID().substr(control.GUID().size() - 10), ",Testbrand");
  });
  failing.reset();
  // The next start begins with a clean record.
  OnNewThread([&] {
    InstallCollections();
    SvcCtl control;
    EXPECT_TRUE(control.DoStartup());
    EXPECT_EQ(LogMessages().back(), "Service.OnStart: complete, Err=");
  });
}

TEST_F(LifecycleTest, AFailureInsideInitIsTheStartsFirstError) {
  contracts::ScopedSupportOverride<contracts::UserList> denied(std::make_shared<DeniedUserList>());
  OnNewThread([&] {
    SvcCtl control;
    // Without multi-user mode Init loads the guest profile, which tells the
    // plug-ins; that must not wipe the user list's failure before it.
    EXPECT_FALSE(control.DoStartup());
  });
  const std::vector<std::string> messages = LogMessages();
  EXPECT_TRUE(AppearInOrder(messages, {
                                          Literal("Loading loading guest profile since we couldn't find the current user"),
                                          Literal("SvcInit::Init done"),
                                          Literal("Service.OnStart: complete, Err=Permission denied"),
                                      }));
  EXPECT_EQ(messages.back(), "Service.OnStart: complete, Err=Permission denied");
}

TEST_F(LifecycleTest, SafeModeWithoutNetworkStillHasTheIoNotifyObject) {
  WriteMachineConfig("CleanBoot = 1\n");
  // As in a fresh process: nothing has wired cIoNotify in yet.
  plugins::SetIoNotifyFactory({});
  OnNewThread([&] {
    InstallCollections();
    SvcCtl control;
    EXPECT_TRUE(control.DoStartup());
    platform::com::ObjectPtr application = control.GetAppObject();
    ASSERT_NE(application, nullptr);
    const platform::Variant io_notify = application->Invoke("GetIoNotify");
    ASSERT_TRUE(io_notify.IsObject());
    EXPECT_NE(io_notify.ObjectValue(), nullptr);
    // The plug-ins are handed this same object with every event.
    EXPECT_EQ(io_notify.ObjectValue(), plugins::GetSharedIoNotify());
    int32_t ac = kSvcCtlShutdown;
    control.DoShutdown(ac);
    control.DidShutdown();
  });
}

TEST_F(LifecycleTest, DoShutdownTakesOnlyItsTwoCodes) {
  OnNewThread([&] {
    SvcCtl control;
    for (int32_t ac : {0, 1, kSvcCtlShutdown + 2, -1}) {
      control.DoShutdown(ac);
      EXPECT_FALSE(control.DidShutdown()) << ac;
    }
    EXPECT_FALSE(ClosingWindows());
    EXPECT_FALSE(std::filesystem::exists(LogPath()));  // nothing ran

    int32_t ac = kSvcCtlShutdownClosingWindows;
    control.DoShutdown(ac);
    EXPECT_TRUE(ClosingWindows());
    EXPECT_TRUE(control.DidShutdown());
  });
}

TEST_F(LifecycleTest, SvcCtlBeforeStartup) {
  OnNewThread([&] {
    SvcCtl control;
    EXPECT_EQ(control.GUID(), ",Veltris");
    EXPECT_EQ(control.GetAppObject(), nullptr);
    EXPECT_FALSE(control.DidShutdown());
  });
}

TEST_F(LifecycleTest, SvcCtlAnswersLateBoundCalls) {
  OnNewThread([&] {
    auto control = std::make_shared<SvcCtl>();
    platform::com::ObjectPtr object = control;
    EXPECT_EQ(platform::CStr(object->Invoke("GUID")), ",Veltris");
    std::vector<platform::Variant> args{platform::Variant("not a number")};
    object->Invoke("DoShutdown", args);  // ignored, no error
    EXPECT_FALSE(platform::CBool(object->Invoke("DidShutdown")));
    args[0] = platform::Variant(kSvcCtlShutdown);
    object->Invoke("DoShutdown", args);
    EXPECT_TRUE(platform::CBool(object->Invoke("DidShutdown")));
    EXPECT_EQ(object->TypeName(), "SvcCtl");
  });
}

}  // namespace
}  // namespace service
