// Service.OnStart: the start order and its log.
#include "contracts/lifecycle/lifecycle_state.h"
#include "lifecycle_fixture.h"
#include "settings/shared/shared_settings.h"

namespace service {
namespace {

TEST_F(LifecycleTest, OnStartRunsTheStartOrderIntoANewLog) {
  WriteMachineConfig("EnvironmentFlag = 1\n");
  testing_support::WriteFileBytes(LogPath(), "last run\r\n");
  TestHost host;
  OnNewThread([&] {
    InstallCollections();
    Service service;
    EXPECT_EQ(service.OnStart(host), 0);
    EXPECT_EQ(settings::GetSystemSettings()->GetValueB("sys.protecton"), true);
    EXPECT_EQ(GetApplicationObject(), service.application());
  });
  EXPECT_EQ(host.registered_count(), 1u);
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "commonfiles/Norvale/QORC/log/hearth.lo1"), "last run\r\n");
  const std::vector<std::string> messages = LogMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), "System service log created, version 2.01.007");
  EXPECT_TRUE(AppearInOrder(
      messages, {
                    Literal("Product version is: 2.1.7.r0001"),
                    kGeneralDatePattern + Literal(": Service.OnStart - Initializing Resources"),
                    kGeneralDatePattern + Literal(": Service.OnStart - Creating Application object"),
                    kGeneralDatePattern + Literal(": Service.OnStart - Registering Application object"),
                    Literal("Service.OnStart: invoking Init"),
                    Literal("Checking registry permissions"),
                    Literal("Service.OnStart: invoking Application.Startup, Err="),
                    Literal("Service.OnStart: querying plugins."),
                    Literal("Service.OnStart: Plugin query complete. Sending 'onstartup' to plugins' "),
                    Literal("Service.OnStart: Sent 'onstartup' to plugins' "),
                    Literal("Service.OnStart: turning on 'sys.protecton' protection and notifying plugins."),
                    Literal("Service.OnStart: plugins notified of protection status."),
                    Literal("Service.OnStart: complete, Err="),
                }));
  EXPECT_EQ(messages.back(), "Service.OnStart: complete, Err=");
}

TEST_F(LifecycleTest, OnStartWithoutTheEnvironmentFlagKeepsTheCurrentLog) {
  testing_support::WriteFileBytes(LogPath(), "[old] [1] earlier line\r\n");
  TestHost host;
  OnNewThread([&] {
    InstallCollections();
    Service service;
    service.OnStart(host);
  });
  const std::vector<std::string> messages = LogMessages();
  EXPECT_EQ(messages.front(), "earlier line");
  EXPECT_EQ(CountMatching(messages, "System service log created.*"), 0u);
  EXPECT_FALSE(std::filesystem::exists(root_ / "commonfiles/Norvale/QORC/log/hearth.lo1"));
}

TEST_F(LifecycleTest, AFailingStepIsRecordedAndTheRestStillRuns) {
  contracts::ScopedSupportOverride<contracts::BrandingResolver> failing(std::make_shared<FailingBranding>());
  TestHost host;
  OnNewThread([&] {
    InstallCollections();
    Service service;
    EXPECT_EQ(service.OnStart(host), 0);
    EXPECT_TRUE(settings::GetSystemSettings()->GetValueB("sys.protecton"));
  });
  // Every later step still runs, and the first failure is reported to the
  // end, though start-up's own plug-in notifications clear the pending error.
  const std::vector<std::string> messages = LogMessages();
  EXPECT_TRUE(AppearInOrder(messages, {
                                          ".*: Service.OnStart - Initializing Resources",
                                          ".*: Service.OnStart - Creating Application object",
                                          ".*: Service.OnStart - Registering Application object",
                                          Literal("Service.OnStart: invoking Init"),
                                          Literal("Service.OnStart: invoking Application.Startup, Err=branding.xml is missing"),
                                          Literal("Service.OnStart: querying plugins."),
                                          Literal("Service.OnStart: plugins notified of protection status."),
                                          Literal("Service.OnStart: complete, Err=branding.xml is missing"),
                                      }));
  EXPECT_EQ(messages.back(), "Service.OnStart: complete, Err=branding.xml is missing");
  EXPECT_EQ(host.registered_count(), 1u);
}

TEST_F(LifecycleTest, AFailureInsideInitIsReportedToTheEnd) {
  contracts::ScopedSupportOverride<contracts::UserList> denied(std::make_shared<DeniedUserList>());
  TestHost host;
  OnNewThread([&] {
    Service service;
    EXPECT_EQ(service.OnStart(host), 0);
  });
  // Init's guest profile tells the plug-ins, which clears the pending error;
  // the user list's failure before it still stands in both "Err=" lines.
  const std::vector<std::string> messages = LogMessages();
  EXPECT_TRUE(AppearInOrder(messages, {
                                          Literal("Service.OnStart: invoking Init"),
                                          Literal("SvcInit::Init done"),
                                          Literal("Service.OnStart: invoking Application.Startup, Err=Permission denied"),
                                          Literal("Service.OnStart: complete, Err=Permission denied"),
                                      }));
  EXPECT_EQ(messages.back(), "Service.OnStart: complete, Err=Permission denied");
}

TEST_F(LifecycleTest, OnStartOnAThreadWithoutCollectionsReportsTheMissingOne) {
  TestHost host;
  OnNewThread([&] {
    // Whatever start-up could not do is only reported: start answers 0 and
    // its last line is the "complete" line.
    Service service;
    EXPECT_EQ(service.OnStart(host), 0);
  });
  // Initialisation installs the collections, so nothing is missing at the end.
  EXPECT_EQ(LogMessages().back(), "Service.OnStart: complete, Err=");
}

TEST_F(LifecycleTest, TheNoActionCallbacksAnswerZero) {
  TestHost host;
  Service service;
  EXPECT_EQ(service.OnPause(host), 0);
  EXPECT_EQ(service.OnContinue(host), 0);
  EXPECT_EQ(service.OnDeviceEvent(host, 1, 2), 0);
  EXPECT_EQ(service.OnHardwareProfileChange(host, 1, 2), 0);
  EXPECT_EQ(service.OnPowerRequest(host, 1, 2), 0);
  service.OnParamChange(host);
  service.OnTimer(host);
  service.WaitComplete(host, 1, 2, 3);
  EXPECT_EQ(host.stop_service_calls, 0);
  EXPECT_EQ(host.registered_count(), 0u);
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
}

}  // namespace
}  // namespace service
