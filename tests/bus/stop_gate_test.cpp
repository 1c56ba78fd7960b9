// The bus and a stop on the service thread: a call that reaches the service
// thread once the stop has begun is refused, never run after the stop has
// stored everything (where its change would be lost without a word).
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

#include "bus/bus_service.h"
#include "private_bus.h"
#include "service/host/service_toolkit.h"
#include "service/lifecycle/test_host.h"
#include "testing/rooted/rooted_test.h"

namespace bus_test {
namespace {

using namespace std::chrono_literals;

class StopGateTest : public testing_support::RootedTest {};

TEST_F(StopGateTest, ACallArrivingDuringTheStopIsRefusedNotLost) {
  PrivateBus bus;
  auto service = std::make_shared<service::HeldStopService>();
  service::ServiceToolkit toolkit(service);
  auto closing = std::make_shared<std::atomic<bool>>(false);
  toolkit.SetStopBeginsHook([closing](bool stopping) { closing->store(stopping); });
  toolkit.Start();
  bus::BusOptions options;
  options.address = bus.address();
  options.closing = closing;
  auto on_bus = bus::BusService::Start(toolkit.ServiceApartment(), [&toolkit] { return toolkit.RegisteredObject(); },
                                       std::move(options));
  ASSERT_TRUE(bus.WaitForName());
  ASSERT_EQ(bus.Settings("SetValue", {"sv", "sys.before", "s", "kept"}).exit_code, 0);

  std::thread stopper([&] { toolkit.Deliver({service::control::RequestKind::kStop, 0}); });
  service->entered.Wait();  // the stop holds the service thread
  auto late = bus.Spawn({"busctl", "--system", "call", "com.norvale.Hearth", "/com/norvale/Hearth/Settings/System",
                         "com.norvale.Hearth.cSettings", "SetValue", "sv", "sys.late", "s", "lost?"},
                        "late-call");
  // Give the call time to queue behind the stop (whenever it arrives, the
  // answer must be the same).
  std::this_thread::sleep_for(200ms);
  service->release.Open();
  stopper.join();
  const Finished answer = late->Wait(20s);
  EXPECT_NE(answer.exit_code, 0);
  EXPECT_NE(answer.err.find("the service is stopping"), std::string::npos) << answer.err;
  EXPECT_TRUE(toolkit.WaitForEnd(10s));
  on_bus.reset();
}

}  // namespace
}  // namespace bus_test
