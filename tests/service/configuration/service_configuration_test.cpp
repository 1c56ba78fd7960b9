// ServiceConfiguration's answers, and the unit built from them.
#include "service/configuration/service_configuration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/host/kernel_version.h"
#include "platform/registry/registry_helpers.h"
#include "service/host/systemd_unit.h"
#include "testing/rooted/rooted_test.h"

namespace service {
namespace {

namespace reg = platform::registry;
constexpr char kProductKey[] = "SOFTWARE\\Norvale\\Veltris\\v1.5";

class ServiceConfigurationTest : public testing_support::RootedTest {};

TEST_F(ServiceConfigurationTest, StopIsAcceptedOnlyForTraceLevelExactlyFour) {
  ServiceConfiguration configuration;
  EXPECT_EQ(configuration.ControlsAccepted(), 4);  // no product key
  reg::CreateKey(reg::kHkeyLocalMachine, kProductKey);
  EXPECT_EQ(configuration.ControlsAccepted(), 4);  // no value
  struct Case {
    const char* text;
    int32_t accepted;
  } cases[] = {{"4", 5}, {"04", 4}, {" 4", 4}, {"4 ", 4}, {"5", 4}, {"", 4}, {"four", 4}};
  for (const Case& c : cases) {
    reg::WriteStringValue(reg::kHkeyLocalMachine, kProductKey, "TraceLevel", c.text);
    EXPECT_EQ(configuration.ControlsAccepted(), c.accepted) << "'" << c.text << "'";
  }
}

TEST_F(ServiceConfigurationTest, TheOtherAnswersAreConstantsTheKernelAndTheProcess) {
  ServiceConfiguration configuration;
  EXPECT_TRUE(configuration.AutoStart());
  EXPECT_EQ(configuration.GetDescription(), "Security System Service");
  EXPECT_FALSE(configuration.IgnoreStartupErrors());
  EXPECT_FALSE(configuration.InteractWithDesktop());
  EXPECT_EQ(configuration.ServiceAccount(), "");
  EXPECT_EQ(configuration.ServiceAccountPassword(), "");
  EXPECT_EQ(configuration.ServiceDependencies(), "");
  EXPECT_EQ(configuration.ServiceProcessId(), static_cast<int32_t>(::getpid()));
  int32_t times[4] = {1, 2, 3, 4};
  configuration.DefaultTimes(times[0], times[1], times[2], times[3]);
  EXPECT_EQ(times[0] + times[1] * 10 + times[2] * 100 + times[3] * 1000, 4321);
  int32_t major = -1;
  int32_t minor = -1;
  configuration.GetVersion(major, minor);
  const platform::host::KernelVersion kernel = platform::host::RunningKernelVersion();
  EXPECT_EQ(major, kernel.major);
  EXPECT_EQ(minor, kernel.minor);
  EXPECT_GT(major, 2);
}

TEST(KernelRelease, TheFirstTwoNumbersOfTheRelease) {
  struct Case {
    const char* release;
    int major;
    int minor;
  } cases[] = {{"6.1.0-18-amd64", 6, 1}, {"5.15", 5, 15}, {"4", 4, 0}, {"", 0, 0}, {"x.y", 0, 0}, {nullptr, 0, 0}};
  for (const Case& c : cases) {
    const platform::host::KernelVersion version = platform::host::ParseKernelRelease(c.release);
    EXPECT_EQ(version.major, c.major) << (c.release ? c.release : "null");
    EXPECT_EQ(version.minor, c.minor) << (c.release ? c.release : "null");
  }
}

// A configuration whose every answer a test sets.
class SetConfiguration : public ServiceConfiguration {
 public:
  bool AutoStart() override { return auto_start; }
  int32_t ControlsAccepted() override { return controls; }
  void DefaultTimes(int32_t& start, int32_t& stop, int32_t&, int32_t&) override {
    start = start_wait;
    stop = stop_wait;
  }
  std::string ServiceAccount() override { return account; }
  std::string ServiceDependencies() override { return dependencies; }
  bool auto_start = true;
  int32_t controls = 4;
  int32_t start_wait = 90000;
  int32_t stop_wait = 90000;
  std::string account;
  std::string dependencies;
};

TEST(SystemdUnitText, EachAnswerHasItsLine) {
  SetConfiguration configuration;
  configuration.auto_start = false;
  configuration.controls = 5;
  configuration.stop_wait = 1500;
  configuration.account = "hearth";
  configuration.dependencies = "dbus/network-online.target";
  const std::string unit = SystemdUnit(configuration, {"/usr/sbin/hearthd", "/srv/my root"});
  EXPECT_NE(unit.find("\nAfter=dbus.service network-online.target\nRequires=dbus.service network-online.target\n"),
            std::string::npos)
      << unit;
  EXPECT_EQ(unit.find("RefuseManualStop"), std::string::npos);
  EXPECT_NE(unit.find("\nExecStart=/usr/sbin/hearthd --root \"/srv/my root\"\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nUser=hearth\n"), std::string::npos);
  EXPECT_NE(unit.find("\nTimeoutStopSec=2\n"), std::string::npos);
  EXPECT_EQ(unit.find("[Install]"), std::string::npos);
  EXPECT_EQ(UnitQuote("50%$\"\\"), "\"50%%$$\\\"\\\\\"");
}

TEST(SystemdUnitText, AHangingStopIsLeftBeforeTheUnitsStopTimeoutEnds) {
  // hearthd's own limit must run out first, so its last line says why.
  for (int32_t stop_wait : {90000, 1500, 600000}) {
    ServiceTimes times;
    times.stop_wait = stop_wait;
    EXPECT_LT(HostStopLimit(times), stop_wait);
    EXPECT_GE(HostStopLimit(times), stop_wait * 4 / 5);
  }
  EXPECT_EQ(HostStopLimit(ServiceTimes{}), 75000);
}

}  // namespace
}  // namespace service
