// Faults of the host's stop paths, each shown by a request or signal
// injected at the point where it used to go wrong.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "host_fixture.h"
#include "platform/com/class_registry.h"
#include "service/host/control_server.h"
#include "service/host/host_main.h"
#include "service/host/service_toolkit.h"
#include "service/lifecycle/test_host.h"
#include "testing/child_process.h"
#include "typelib/norv_io_core_events.h"

namespace service {
namespace {

using control::RequestKind;
using namespace std::chrono_literals;

// Holds control code 5 on the service thread until the test releases it.
class HeldControlService : public Service {
 public:
  Gate entered;
  Gate release;
  void OnUserControlCode(ServiceHost& host, int16_t code) override {
    if (code == 5) {
      entered.Open();
      release.Wait();
    }
    Service::OnUserControlCode(host, code);
  }
};

TEST_F(HostTest, ARequestLetInAsTheStopEndsNeverRunsTheStopAgain) {
  auto service = std::make_shared<HeldStopService>();
  service->release.Open();
  ServiceToolkit toolkit(service);
  std::optional<control::Answer> injected{control::Answer{}};
  std::thread injector;
  // Right after OnStop cleared its guard, before the toolkit took the end
  // of the stop in: a second stop request arrives and is queued.
  toolkit.SetStopReturnedHook([&] {
    injector = std::thread([&] { injected = toolkit.Deliver({RequestKind::kStop, 0}); });
    while (toolkit.QueuedRequests() == 0) std::this_thread::sleep_for(1ms);
  });
  toolkit.Start();
  std::optional<control::Answer> first = toolkit.Deliver({RequestKind::kStop, 0});
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->result, 0);
  EXPECT_TRUE(toolkit.WaitForEnd(5s));
  injector.join();
  EXPECT_FALSE(injected.has_value());  // "the service has stopped"
  EXPECT_EQ(service->stop_work_runs, 1);
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 1u);
}

TEST_F(HostTest, ASignalWithEveryWorkerBusyIsQueuedLoggedAndDeliveredLater) {
  auto service = std::make_shared<HeldControlService>();
  ServiceToolkit toolkit(service);
  ControlServer server(toolkit, 1);
  server.SetShutdownProbe([] { return false; });
  const std::string socket = (root_ / "hearthd.sock").string();
  std::string error;
  ASSERT_TRUE(server.Listen(socket, &error)) << error;
  toolkit.Start();
  ASSERT_TRUE(server.Start(false, &error)) << error;
  std::string held_reply;
  std::thread held([&] { held_reply = Exchange(socket, "control 5\n"); });
  service->entered.Wait();  // the only worker is busy

  server.HandleSignal(SIGTERM);
  EXPECT_EQ(server.QueuedSignals(), 1u);
  EXPECT_EQ(LogCount("hearthd: every control worker is busy; SIGTERM queued until one is free"), 1u);
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 0u);

  service->release.Open();
  held.join();
  EXPECT_EQ(held_reply, "OK\n");
  EXPECT_TRUE(toolkit.WaitForEnd(5s));
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 1u);
  EXPECT_TRUE(server.Stop(5s));
  EXPECT_EQ(server.QueuedSignals(), 0u);
}

TEST_F(HostTest, ABoundedDeliveryGivesUpOnAHangingStop) {
  auto service = std::make_shared<HeldStopService>();
  ServiceToolkit toolkit(service);
  toolkit.Start();
  const auto begun = std::chrono::steady_clock::now();
  EXPECT_FALSE(toolkit.Deliver({RequestKind::kStop, 0}, 200ms).has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - begun, 3s);
  EXPECT_FALSE(toolkit.WaitForEndFor(50ms));
  service->release.Open();
  EXPECT_TRUE(toolkit.WaitForEndFor(5s));
  EXPECT_EQ(service->stop_work_runs, 1);
}

// hearthd's run in a child process: its exit status, or -1 when it did not
// end within `limit` (it is then killed).
int RunHostInChild(const std::vector<std::string>& args, const HostHooks& hooks, std::chrono::seconds limit) {
  const pid_t child = testing_support::StartChild([&] { return HearthdMain(args, hooks); });
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(HostTest, AStopSignalBeforeTheHostIsReadyIsHandledOnceItIs) {
  HostHooks hooks;
  hooks.at = [](HostPoint point) {
    if (point == HostPoint::kSignalsBlocked) ::kill(::getpid(), SIGTERM);
  };
  EXPECT_EQ(RunHostInChild({"--root", root_.path().string()}, hooks, 60s), 0);
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 1u);
  const std::string log = LogText();
  EXPECT_LT(log.find("] Service.OnStart: complete, Err="), log.find("] Service::OnStop invoked"));
}

TEST_F(HostTest, AFailedHostStartStopsTheServiceWithinItsBound) {
  HostHooks hooks;
  hooks.make_service = [] {
    auto service = std::make_shared<HeldStopService>();  // its stop never ends
    return service;
  };
  hooks.start_server = [](ControlServer&, std::string* error) {
    *error = "the control server could not start";
    return false;
  };
  // Long enough for a loaded machine to hand the stop to the service (it
  // then holds it to the end of the grace): 300 ms lost the stop now and then.
  hooks.stop_grace = 2s;
  EXPECT_EQ(RunHostInChild({"--root", root_.path().string()}, hooks, 30s), 1);
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 1u);
}

// A feature plug-in whose OnShutdown never returns.
class HangsOnShutdown : public typelib::INorvIoCoreEvents {
 public:
  void OnShutdown(platform::com::ObjectPtr&, platform::com::ObjectPtr&, platform::com::ObjectPtr&,
                  platform::com::ObjectPtr&) override {
    for (;;) ::pause();
  }
};

TEST_F(HostTest, AStopThatAPlugInHoldsEndsAtTheStopLimit) {
  std::string branding = testing_support::ReadFileBytes(std::filesystem::path(HEARTH_SOURCE_TREE) / "config/branding.xml");
  const std::string empty_list = "<system></system>";
  ASSERT_NE(branding.find(empty_list), std::string::npos);
  branding.replace(branding.find(empty_list), empty_list.size(),
                   "<system><plugin rank=\"1\"><progid>Test.HangsOnShutdown</progid></plugin></system>");
  std::filesystem::create_directories(root_ / "config");
  testing_support::WriteFileBytes(root_ / "config/branding.xml", branding);

  HostHooks hooks;
  hooks.at = [](HostPoint point) {
    if (point == HostPoint::kReady) ::kill(::getpid(), SIGTERM);
  };
  hooks.stop_limit = 500ms;
  // In the child, before the service starts and creates its plug-ins.
  hooks.make_service = [] {
    platform::com::RegisterClass("Test.HangsOnShutdown",
                                 [] { return platform::com::ObjectPtr(std::make_shared<HangsOnShutdown>()); });
    return std::make_shared<Service>();
  };
  EXPECT_EQ(RunHostInChild({"--root", root_.path().string()}, hooks, 60s), 1);
  EXPECT_EQ(LogCount("IoCoreEvents::NotifyFeaturePlugins: Sending OnShutdown to Test.HangsOnShutdown"), 1u);
  EXPECT_EQ(LogCount("hearthd: the stop had not finished after 500 ms; leaving without it"), 1u);
}

}  // namespace
}  // namespace service
