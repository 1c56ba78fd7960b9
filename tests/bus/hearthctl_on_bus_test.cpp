// hearthctl's commands that reach a running hearthd over the bus: settings
// get|set, action and plugins status, against the service on a private bus.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "private_bus.h"
#include "service/host/lock/instance_lock.h"
#include "testing/temp_root.h"

namespace bus_test {
namespace {

class HearthctlOnBusTest : public ::testing::Test {
 protected:
  Finished Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {ProgramPath("hearthctl"), "--root", bus_.root().string()});
    return bus_.Run(args);
  }
  PrivateBus bus_;
};

TEST_F(HearthctlOnBusTest, SettingsSetAndGetGoThroughTheServicesMemoryAndAreStored) {
  bus_.StartService();
  struct Case {
    std::vector<std::string> set;
    std::string name;
    std::string shown;       // what "settings get" prints
    std::string in_service;  // what busctl reads from the service's collection
  } cases[] = {
      {{"x.text", "a b"}, "x.text", "a b\n", "v s \"a b\"\n"},
      {{"x.count", "-42", "--type", "long"}, "X.Count", "-42\n", "v i -42\n"},
      {{"x.on", "true", "--type", "bool"}, "x.on", "True\n", "v b true\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set[0]);
    std::vector<std::string> set = {"settings", "set"};
    set.insert(set.end(), c.set.begin(), c.set.end());
    Finished written = Ctl(set);
    ASSERT_EQ(written.exit_code, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(bus_.Settings("GetValue", {"s", c.name}).out, c.in_service);
    Finished read = Ctl({"settings", "get", c.name});
    EXPECT_EQ(read.exit_code, 0) << read.err;
    EXPECT_EQ(read.out, c.shown);
  }
  // Each set was announced the way a client announces one.
  EXPECT_EQ(bus_.LogLines("SettingsChanged: UserSID=").size(), 3u);

  Finished missing = Ctl({"settings", "get", "x.none"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "hearthctl settings get: no setting x.none in the system collection\n");

  // Announced with fDoPersist: the values are in the file once the service is gone.
  bus_.StopService();
  Finished stored = Ctl({"settings", "get", "x.count"});
  EXPECT_EQ(stored.exit_code, 0) << stored.err;
  EXPECT_EQ(stored.out, "-42\n");
}

TEST_F(HearthctlOnBusTest, AUserTheServiceHasNotLoadedIsReadFromItsFileAndNotWritten) {
  bus_.StartService();
  Finished current = bus_.Call("/com/norvale/Hearth/Application", "com.norvale.Hearth.Application", "CurrentUserSID");
  ASSERT_EQ(current.exit_code, 0) << current.err;
  const std::string other = "S-1-5-21-77";
  ASSERT_EQ(current.out.find(other), std::string::npos);

  Finished set = Ctl({"settings", "set", "x.text", "b", "--user", other});
  EXPECT_EQ(set.exit_code, 1);
  EXPECT_NE(set.err.find("it would not see a change to user " + other + "'s file"), std::string::npos) << set.err;
  Finished get = Ctl({"settings", "get", "x.text", "--user", other});
  EXPECT_EQ(get.exit_code, 1);
  EXPECT_NE(get.err.find("no settings file for user " + other), std::string::npos) << get.err;
}

TEST_F(HearthctlOnBusTest, AnActionIsAnsweredByTheService) {
  bus_.StartService();
  const std::filesystem::path message = bus_.folder() / "message.xml";
  testing_support::WriteFileBytes(
      message, "<m><action type='settimeformats' currDteFormat='dd.MM.yyyy' currTmeFormat='HH:mm' HrFormat='true'/></m>");
  Finished f = Ctl({"action", message.string()});
  ASSERT_EQ(f.exit_code, 0) << f.err;
  EXPECT_EQ(f.err, "hearthctl action: answered by hearthd (over the system bus)\n");
  EXPECT_EQ(f.out,
            "<m><action type=\"settimeformats\" currDteFormat=\"dd.MM.yyyy\" currTmeFormat=\"HH:mm\" "
            "HrFormat=\"true\"/></m>\n");
}

TEST_F(HearthctlOnBusTest, TheHearthdOfAnotherRootIsNeverAsked) {
  bus_.StartService();
  // A second root "runs" too: this test process holds its instance lock.
  testing_support::TempRoot other;
  std::filesystem::create_directories(other.path() / "run");
  service::InstanceLock lock;
  std::string error;
  ASSERT_EQ(lock.Acquire((other.path() / "run/hearthd.lock").string(), &error),
            service::InstanceLock::Result::kAcquired)
      << error;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"settings", "set", "x.text", "elsewhere"},
        std::vector<std::string>{"settings", "get", "x.text"}, std::vector<std::string>{"plugins", "status", "A.B"}}) {
    SCOPED_TRACE(args[1]);
    std::vector<std::string> argv = {ProgramPath("hearthctl"), "--root", other.path().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    Finished f = bus_.Run(argv);
    EXPECT_EQ(f.exit_code, 1);
    EXPECT_NE(f.err.find("is not the one running on " + other.path().string() + " (pid " +
                         std::to_string(::getpid()) + ")"),
              std::string::npos)
        << f.err;
  }
  EXPECT_EQ(bus_.Settings("Exists", {"s", "x.text"}).out, "b false\n");

  // A root where nothing runs is not answered for by the hearthd of another.
  testing_support::TempRoot idle;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"plugins", "status", "A.B"},
        std::vector<std::string>{"dns", "resolve", "--via-service", "localhost"}}) {
    SCOPED_TRACE(args[0]);
    std::vector<std::string> argv = {ProgramPath("hearthctl"), "--root", idle.path().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    Finished f = bus_.Run(argv);
    EXPECT_EQ(f.exit_code, 1);
    EXPECT_NE(f.err.find("hearthd is not running on " + idle.path().string()), std::string::npos) << f.err;
  }
}

TEST(HearthctlWithoutBusTest, ARunningServiceWithoutABusIsReportedNotBypassed) {
  PrivateBus bus(Policy::kInstalled, /*start_daemon=*/false);
  bus.StartService(/*wait_for_name=*/false);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (bus.LogLines("Service.OnStart: complete, Err=").empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_FALSE(bus.LogLines("Service.OnStart: complete, Err=").empty());
  for (const std::vector<std::string>& args : {std::vector<std::string>{"settings", "get", "x.text"},
                                               std::vector<std::string>{"settings", "set", "x.text", "b"}}) {
    SCOPED_TRACE(args[1]);
    std::vector<std::string> argv = {ProgramPath("hearthctl"), "--root", bus.root().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    Finished f = bus.Run(argv);
    EXPECT_EQ(f.exit_code, 1);
    EXPECT_EQ(f.err.rfind("hearthctl settings " + args[1] + ": hearthd is running on " + bus.root().string() +
                              " and its settings are in its memory, but the system bus is not there (" +
                              bus.address(),
                          0),
              0u)
        << f.err;
  }
}

}  // namespace
}  // namespace bus_test
