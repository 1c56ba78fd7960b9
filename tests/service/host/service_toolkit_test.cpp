// The host toolkit in process: the service thread, delivery of requests, and
// the guard answering requests at once while a stop runs.
#include "service/host/service_toolkit.h"

#include <thread>
#include <vector>

#include "host_fixture.h"
#include "platform/win32/thread_ids.h"
#include "service/lifecycle/test_host.h"

namespace service {
namespace {

using control::Request;
using control::RequestKind;

// Records the thread its callbacks run on.
class ThreadRecordingService : public Service {
 public:
  int32_t OnStart(ServiceHost& host) override {
    start_thread = platform::win32::GetCurrentThreadId();
    return Service::OnStart(host);
  }
  void OnUserControlCode(ServiceHost& host, int16_t code) override {
    control_thread = platform::win32::GetCurrentThreadId();
    Service::OnUserControlCode(host, code);
  }
  std::atomic<uint32_t> start_thread{0};
  std::atomic<uint32_t> control_thread{0};
};

TEST_F(HostTest, StartRunsOnTheServiceThreadAndAStopEndsIt) {
  auto service = std::make_shared<ThreadRecordingService>();
  ServiceToolkit toolkit(service);
  toolkit.Start();
  EXPECT_EQ(toolkit.Deliver({RequestKind::kUserControlCode, 7})->result, 0);
  EXPECT_NE(service->start_thread, 0u);
  EXPECT_NE(service->start_thread, platform::win32::GetCurrentThreadId());
  EXPECT_EQ(service->control_thread, service->start_thread);
  EXPECT_FALSE(toolkit.Ended());

  std::optional<control::Answer> answer = toolkit.Deliver({RequestKind::kStop, 0});
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, 0);
  EXPECT_TRUE(toolkit.WaitForEnd(std::chrono::seconds(5)));
  EXPECT_FALSE(toolkit.StopServiceRequested());
  EXPECT_EQ(toolkit.RegisteredObject(), nullptr);  // released with the service thread
  EXPECT_FALSE(toolkit.Deliver({RequestKind::kStop, 0}).has_value());

  EXPECT_EQ(LogCount("Service::OnUserControlCode; code=7"), 1u);
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 1u);
  EXPECT_NE(LogText().find("] Service.OnStart: complete, Err="), std::string::npos);
}

TEST_F(HostTest, ControlCode142StopsAndEndsTheService) {
  ServiceToolkit toolkit(std::make_shared<Service>());
  toolkit.Start();
  ASSERT_TRUE(toolkit.Deliver({RequestKind::kUserControlCode, kStopControlCode}).has_value());
  EXPECT_TRUE(toolkit.WaitForEnd(std::chrono::seconds(5)));
  EXPECT_TRUE(toolkit.StopServiceRequested());
  EXPECT_EQ(LogCount("Service::OnStop invoked"), 1u);
}

TEST_F(HostTest, AShutdownEndsTheServiceToo) {
  ServiceToolkit toolkit(std::make_shared<Service>());
  toolkit.Start();
  std::optional<control::Answer> answer = toolkit.Deliver({RequestKind::kShutdown, 0});
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->result, 0);
  EXPECT_FALSE(answer->busy);
  EXPECT_TRUE(toolkit.WaitForEnd(std::chrono::seconds(5)));
  EXPECT_EQ(LogCount("Service::OnShutdown invoked"), 1u);
}

TEST_F(HostTest, RequestsDuringAHangingStopAreAnsweredAtOnceAndTheNinthEndsTheHost) {
  auto service = std::make_shared<HeldStopService>();
  ServiceToolkit toolkit(service);
  toolkit.Start();
  std::optional<control::Answer> first;
  std::thread first_request([&] { first = toolkit.Deliver({RequestKind::kStop, 0}); });
  service->entered.Wait();

  // Answered while the service thread is still held inside StopWork.
  bool busy_seen = false;
  for (int count = 2; count <= 8; ++count) {
    std::optional<control::Answer> answer = toolkit.Deliver({RequestKind::kStop, 0});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->result, kStopStillRunning) << count;
  }
  std::optional<control::Answer> shutdown = toolkit.Deliver({RequestKind::kShutdown, 0});
  ASSERT_TRUE(shutdown.has_value());
  EXPECT_EQ(shutdown->result, kStopStillRunning);
  busy_seen = shutdown->busy;
  EXPECT_TRUE(busy_seen);
  EXPECT_FALSE(toolkit.StopServiceRequested());

  std::optional<control::Answer> ninth = toolkit.Deliver({RequestKind::kStop, 0});
  ASSERT_TRUE(ninth.has_value());
  EXPECT_EQ(ninth->result, 0);
  EXPECT_TRUE(toolkit.StopServiceRequested());
  // The stop still hangs: the host is told to leave without it.
  EXPECT_FALSE(toolkit.WaitForEnd(std::chrono::milliseconds(50)));
  EXPECT_EQ(LogCount("Service::OnStop -- timeout expired; internal failure! Invoking StopService"), 1u);

  service->release.Open();
  first_request.join();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->result, 0);
  EXPECT_TRUE(toolkit.WaitForEnd(std::chrono::seconds(5)));
  EXPECT_EQ(service->stop_work_runs, 1);
}

TEST_F(HostTest, ManyRequestsAtOnceDuringAStopAreEachCountedOnce) {
  auto service = std::make_shared<HeldStopService>();
  ServiceToolkit toolkit(service);
  toolkit.Start();
  std::thread first_request([&] { toolkit.Deliver({RequestKind::kStop, 0}); });
  service->entered.Wait();
  std::vector<std::thread> senders;
  std::atomic<int> counted{0};
  for (int i = 0; i < 6; ++i) {
    senders.emplace_back([&] {
      std::optional<control::Answer> answer = toolkit.Deliver({RequestKind::kStop, 0});
      if (answer && answer->result == kStopStillRunning) ++counted;
    });
  }
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(counted, 6);
  for (int count = 2; count <= 7; ++count) {
    EXPECT_EQ(LogCount("Service::OnStop invoked, but already shutting down; CmdCount=" + std::to_string(count)), 1u);
  }
  EXPECT_EQ(LogCount("Service::OnStop invoked, but already shutting down; CmdCount=8"), 0u);
  service->release.Open();
  first_request.join();
  EXPECT_TRUE(toolkit.WaitForEnd(std::chrono::seconds(5)));
}

}  // namespace
}  // namespace service
