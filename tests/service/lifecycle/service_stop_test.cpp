// Service.OnStop, OnShutdown and the control codes: the stop order and the
// guard that counts requests arriving while a stop runs.
#include "lifecycle_fixture.h"

namespace service {
namespace {

constexpr char kStopTimeout[] = "Service::OnStop -- timeout expired; internal failure! Invoking StopService";
constexpr char kShutdownTimeout[] =
    "Service::OnShutdown -- timeout expired; internal failure! Invoking StopService!";

std::string StopRepeat(int count) {
  return "Service::OnStop invoked, but already shutting down; CmdCount=" + std::to_string(count);
}
std::string ShutdownRepeat(int count) {
  return "Service::OnShutdown invoked, but already shutting down; CmdCount=" + std::to_string(count);
}

// Starts `first` on the service thread and returns once its StopWork is
// held open; the caller releases it and joins.
std::thread StartHeldStop(HeldStopService& service, const std::function<void()>& first) {
  std::thread thread(first);
  service.entered.Wait();
  return thread;
}

TEST_F(LifecycleTest, OnStopRunsTheStopOrder) {
  TestHost host;
  OnNewThread([&] {
    Service service;
    EXPECT_EQ(service.OnStop(host), 0);
    EXPECT_FALSE(service.StopRunning());
  });
  EXPECT_TRUE(AppearInOrder(LogMessages(), {
                                               Literal("Service::OnStop invoked"),
                                               Literal("Service::OnStop notifying feature plugins"),
                                               Literal("Service::OnStop shutting down self"),
                                           }));
  EXPECT_EQ(host.stop_service_calls, 0);
}

TEST_F(LifecycleTest, RepeatedStopsCountAndTheNinthCallsStopService) {
  TestHost host;
  HeldStopService service;
  int32_t first_result = -1;
  std::thread first = StartHeldStop(service, [&] { first_result = service.OnStop(host); });

  for (int count = 2; count <= 8; ++count) {
    EXPECT_EQ(service.OnStop(host), kStopStillRunning) << count;
    EXPECT_EQ(LogMessages().back(), StopRepeat(count));
    EXPECT_EQ(host.stop_service_calls, 0);
  }
  EXPECT_EQ(service.OnStop(host), 0);  // the ninth
  EXPECT_EQ(host.stop_service_calls, 1);
  const std::vector<std::string> messages = LogMessages();
  EXPECT_EQ(messages[messages.size() - 2], StopRepeat(9));
  EXPECT_EQ(messages.back(), kStopTimeout);

  service.release.Open();
  first.join();
  EXPECT_EQ(first_result, 0);
  EXPECT_EQ(service.stop_work_runs, 1);
  EXPECT_FALSE(service.StopRunning());
}

TEST_F(LifecycleTest, ShutdownDuringAStopGoesToTheBusyBranchWithItsOwnCount) {
  TestHost host;
  HeldStopService service;
  std::thread first = StartHeldStop(service, [&] { service.OnStop(host); });
  EXPECT_EQ(service.OnStop(host), kStopStillRunning);
  bool busy = false;
  EXPECT_EQ(service.OnShutdown(host, busy), kStopStillRunning);
  EXPECT_TRUE(busy);
  EXPECT_EQ(LogMessages().back(), ShutdownRepeat(1));
  service.release.Open();
  first.join();
  EXPECT_EQ(service.stop_work_runs, 1);
}

TEST_F(LifecycleTest, RepeatedShutdownsCountAndTheNinthCallsStopService) {
  TestHost host;
  HeldStopService service;
  bool first_busy = false;
  std::thread first = StartHeldStop(service, [&] { EXPECT_EQ(service.OnShutdown(host, first_busy), 0); });
  EXPECT_EQ(LogMessages().front(), "Service::OnShutdown invoked");
  for (int count = 2; count <= 8; ++count) {
    bool busy = false;
    EXPECT_EQ(service.OnShutdown(host, busy), kStopStillRunning);
    EXPECT_TRUE(busy);
    EXPECT_EQ(LogMessages().back(), ShutdownRepeat(count));
  }
  bool busy = false;
  EXPECT_EQ(service.OnShutdown(host, busy), 0);
  EXPECT_FALSE(busy);
  EXPECT_EQ(host.stop_service_calls, 1);
  EXPECT_EQ(LogMessages().back(), kShutdownTimeout);
  service.release.Open();
  first.join();
  EXPECT_FALSE(first_busy);
  EXPECT_EQ(service.stop_work_runs, 1);
}

TEST_F(LifecycleTest, AStopDuringAShutdownOnlyCountsToo) {
  // The stop work never runs twice at once.
  TestHost host;
  HeldStopService service;
  std::thread first = StartHeldStop(service, [&] {
    bool busy = false;
    service.OnShutdown(host, busy);
  });
  EXPECT_EQ(service.OnStop(host), kStopStillRunning);
  EXPECT_EQ(LogMessages().back(), StopRepeat(1));
  service.release.Open();
  first.join();
  EXPECT_EQ(service.stop_work_runs, 1);
}

TEST_F(LifecycleTest, ControlCode142StopsAndThenCallsStopService) {
  TestHost host;
  OnNewThread([&] {
    Service service;
    service.OnUserControlCode(host, 7);
    EXPECT_EQ(host.stop_service_calls, 0);
    service.OnUserControlCode(host, kStopControlCode);
    EXPECT_EQ(host.stop_service_calls, 1);
  });
  const std::vector<std::string> messages = LogMessages();
  EXPECT_EQ(messages.front(), "Service::OnUserControlCode; code=7");
  EXPECT_TRUE(AppearInOrder(messages, {
                                          Literal("Service::OnUserControlCode; code=142"),
                                          Literal("Service::OnStop invoked"),
                                          Literal("Service::OnStop shutting down self"),
                                      }));
  EXPECT_EQ(CountMatching(messages, "Service::OnStop invoked"), 1u);
}

TEST_F(LifecycleTest, ControlCode142DuringAStopOnlyCounts) {
  TestHost host;
  HeldStopService service;
  std::thread first = StartHeldStop(service, [&] { service.OnStop(host); });
  service.OnUserControlCode(host, kStopControlCode);
  EXPECT_EQ(host.stop_service_calls, 0);
  const std::vector<std::string> messages = LogMessages();
  EXPECT_EQ(messages[messages.size() - 2], "Service::OnUserControlCode; code=142");
  EXPECT_EQ(messages.back(), StopRepeat(2));
  service.release.Open();
  first.join();
}

TEST_F(LifecycleTest, AnswerWhileStoppingTakesOnlyRequestsDuringAStop) {
  TestHost host;
  HeldStopService service;
  int32_t result = -1;
  bool busy = false;
  EXPECT_FALSE(service.AnswerWhileStopping(host, StopRequest::kStop, 0, &result, &busy));
  EXPECT_FALSE(service.AnswerWhileStopping(host, StopRequest::kUserControlCode, 5, &result, &busy));
  EXPECT_FALSE(std::filesystem::exists(LogPath()));  // nothing happened

  std::thread first = StartHeldStop(service, [&] { service.OnStop(host); });
  EXPECT_TRUE(service.StopRunning());
  EXPECT_TRUE(service.AnswerWhileStopping(host, StopRequest::kStop, 0, &result, &busy));
  EXPECT_EQ(result, kStopStillRunning);
  EXPECT_TRUE(service.AnswerWhileStopping(host, StopRequest::kShutdown, 0, &result, &busy));
  EXPECT_EQ(result, kStopStillRunning);
  EXPECT_TRUE(busy);
  EXPECT_TRUE(service.AnswerWhileStopping(host, StopRequest::kUserControlCode, 5, &result, &busy));
  EXPECT_EQ(LogMessages().back(), "Service::OnUserControlCode; code=5");
  // 142 counts as a stop: with the first stop and one stop so far, this is
  // the third.
  EXPECT_TRUE(service.AnswerWhileStopping(host, StopRequest::kUserControlCode, kStopControlCode, &result, &busy));
  EXPECT_EQ(result, kStopStillRunning);
  EXPECT_EQ(LogMessages().back(), StopRepeat(3));
  service.release.Open();
  first.join();
  EXPECT_EQ(host.stop_service_calls, 0);
}

TEST_F(LifecycleTest, TheGuardCountsRequestsFromManyThreadsExactly) {
  TestHost host;
  HeldStopService service;
  std::thread first = StartHeldStop(service, [&] { service.OnStop(host); });
  std::vector<std::thread> senders;
  std::atomic<int> still_running{0};
  for (int i = 0; i < 7; ++i) {
    senders.emplace_back([&] {
      if (service.OnStop(host) == kStopStillRunning) ++still_running;
    });
  }
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(still_running, 7);
  EXPECT_EQ(service.OnStop(host), 0);  // the ninth, whatever order the others came in
  EXPECT_EQ(host.stop_service_calls, 1);
  for (int count = 2; count <= 9; ++count) EXPECT_EQ(CountMatching(LogMessages(), Literal(StopRepeat(count))), 1u);
  service.release.Open();
  first.join();
}

}  // namespace
}  // namespace service
