// hearthctl plugins status against a hearthd on a private bus.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "private_bus.h"

namespace plugins_bus_test {
namespace {

constexpr char kLibrary[] = HEARTH_BUILD_TREE "/plugins/event_counter.so";

// The shipped branding configuration with `system` as its plug-in list, and
// the sample event counter registered as Sample.EventCounter.
void ListPlugins(bus_test::PrivateBus& bus, const std::string& system) {
  std::filesystem::create_directories(bus.root() / "config");
  std::ifstream in(bus_test::SourcePath("config/branding.xml"));
  std::stringstream shipped;
  shipped << in.rdbuf();
  std::string config = shipped.str();
  config.replace(config.find("<system></system>"), 17, system);
  std::ofstream(bus.root() / "config" / "branding.xml") << config;
  const bus_test::Finished reg = bus.Run({bus_test::ProgramPath("hearthctl"), "--root", bus.root().string(),
                                          "plugins", "register", "Sample.EventCounter", kLibrary});
  ASSERT_EQ(reg.exit_code, 0) << reg.err;
}

TEST(PluginsStatusOverTheBus, AnswersFromTheRunningPlugIn) {
  bus_test::PrivateBus bus;
  const std::string root = bus.root().string();
  ListPlugins(bus, "<system><plugin rank=\"1\"><progid>Sample.EventCounter</progid></plugin></system>");
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

TEST(PluginsStatusOverTheBus, TheRankedListSaysWhereEachResolvesAndItsStatus) {
  bus_test::PrivateBus bus;
  // Ranked 2, 1 and 0 in the file: created 1 then 2; 0 is left out.
  ListPlugins(bus, "<system><plugin rank=\"2\"><progid>No.Such</progid></plugin>"
                   "<plugin rank=\"1\"><progid>Sample.EventCounter</progid></plugin>"
                   "<plugin rank=\"0\"><progid>Left.Out</progid></plugin></system>");
  bus.StartService();

  const bus_test::Finished list =
      bus.Call("/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify", "IoGetFeaturePlugins");
  ASSERT_EQ(list.exit_code, 0) << list.err;
  EXPECT_EQ(list.out, "iasaiasas 2 2 \"Sample.EventCounter\" \"No.Such\" 2 1 2 2 \"" + std::string(kLibrary) +
                          "\" \"not registered\" 2 \"OK\" \"not created\"\n");

  // A console reads the list on every view: the log hears each status once,
  // not two lines per plug-in per read.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bus.Call("/com/norvale/Hearth/IoNotify", "com.norvale.Hearth.cIoNotify", "IoGetFeaturePlugins").out,
              list.out);
  }
  EXPECT_EQ(bus.LogLines("IoGetFeaturePlugins: 'Sample.EventCounter' status OK").size(), 1u);
  EXPECT_EQ(bus.LogLines("IoGetFeaturePlugins: 'No.Such' status not created").size(), 1u);
  EXPECT_EQ(bus.LogLines("IoCoreEvents.GetFeaturePluginStatus").size(), 0u);
  EXPECT_EQ(bus.LogLines("IoCoreEvents.GetFeaturePluginData").size(), 0u);
  bus.StopService();
}

}  // namespace
}  // namespace plugins_bus_test
