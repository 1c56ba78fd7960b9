// hearthctl plugins status against a hearthd on a private bus.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "private_bus.h"

namespace plugins_bus_test {
namespace {

TEST(PluginsStatusOverTheBus, AnswersFromTheRunningPlugIn) {
  bus_test::PrivateBus bus;
  const std::string root = bus.root().string();
  std::filesystem::create_directories(bus.root() / "config");
  std::ifstream in(bus_test::SourcePath("config/branding.xml"));
  std::stringstream shipped;
  shipped << in.rdbuf();
  std::string config = shipped.str();
  config.replace(config.find("<system></system>"), 17,
                 "<system><plugin rank=\"1\"><progid>Sample.EventCounter</progid></plugin></system>");
  std::ofstream(bus.root() / "config" / "branding.xml") << config;
  const bus_test::Finished reg = bus.Run({bus_test::ProgramPath("hearthctl"), "--root", root, "plugins", "register",
                                          "Sample.EventCounter", HEARTH_BUILD_TREE "/plugins/event_counter.so"});
  ASSERT_EQ(reg.exit_code, 0) << reg.err;
  bus.StartService();

  // It heard the start, so its status is OK.
  bus_test::Finished ok =
      bus.Run({bus_test::ProgramPath("hearthctl"), "--root", root, "plugins", "status", "Sample.EventCounter"});
  EXPECT_EQ(ok.exit_code, 0) << ok.err;
  EXPECT_EQ(ok.out, "Sample.EventCounter: OK\n");
  bus_test::Finished missing =
      bus.Run({bus_test::ProgramPath("hearthctl"), "--root", root, "plugins", "status", "No.Such", "sub"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.out, "No.Such sub: NOT ok\n");
  EXPECT_FALSE(bus.LogLines("IoCoreEvents.GetFeaturePluginStatus - status OK for 'Sample.EventCounter' substatus=").empty());
  bus.StopService();
}

}  // namespace
}  // namespace plugins_bus_test
