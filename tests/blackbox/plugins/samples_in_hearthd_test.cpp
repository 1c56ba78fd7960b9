// The sample plug-ins in a running hearthd: one built out of tree against
// the installed SDK, one built with the project, registered with hearthctl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/variant.h"
#include "platform/root/machine_root.h"
#include "programs.h"
#include "settings/collection/c_settings.h"
#include "testing/temp_root.h"

namespace blackbox_plugins {
namespace {

using namespace hearthd_init_test;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class SamplesInHearthd : public ::testing::Test {
 protected:
  void WritePluginList(const std::string& entries) {
    std::string shipped = ReadText(std::string(HEARTH_SOURCE_TREE) + "/config/branding.xml");
    const std::string empty = "<system></system>";
    shipped.replace(shipped.find(empty), empty.size(), "<system>" + entries + "</system>");
    std::filesystem::create_directories(root_ / "config");
    testing_support::WriteFileBytes(root_ / "config" / "branding.xml", shipped);
  }
  void StoreSystem(const std::string& name, const std::string& value) {
    std::thread([&] {
      platform::SetMachineRoot(root_.path());
      settings::cSettings system;
      system.SetValue(name, platform::Variant(value));
      system.WriteSnapshotToStored("");
      contracts::Support().Reset();
      platform::SetMachineRoot({});
    }).join();
  }
  ProgramRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root_.str()});
    return RunProgram("hearthctl", args);
  }

  testing_support::TempRoot root_;
};

TEST_F(SamplesInHearthd, AnOutOfTreeSampleAndABuiltInOneLoadInRankOrderAndHearAStartAndAStop) {
  // The SDK installed into a prefix of its own, and the events sample built
  // against it alone.
  const std::string prefix = root_.str() + "/sdk";
  const std::string cmake = HEARTH_CMAKE;
  ASSERT_EQ(Shell(cmake + " --install " HEARTH_BUILD_TREE " --prefix " + prefix + " --component sdk"), 0);
  const std::string out_of_tree = root_.str() + "/sample-build";
  ASSERT_EQ(Shell(cmake + " -S " HEARTH_SOURCE_TREE "/examples/plugins/event_counter -B " + out_of_tree +
                  " -G \"" HEARTH_GENERATOR "\" -DCMAKE_CXX_COMPILER=" HEARTH_CXX " -DCMAKE_PREFIX_PATH=" + prefix),
            0);
  ASSERT_EQ(Shell(cmake + " --build " + out_of_tree), 0);
  ASSERT_TRUE(std::filesystem::exists(out_of_tree + "/event_counter.so"));

  EXPECT_EQ(Ctl({"plugins", "register", "Sample.EventCounter", out_of_tree + "/event_counter.so"}).exit_code, 0);
  EXPECT_EQ(Ctl({"plugins", "register", "Sample.Notifier", HEARTH_BUILD_TREE "/plugins/notifier_sample.so"}).exit_code, 0);
  WritePluginList("<plugin rank=\"20\"><progid>Sample.Notifier</progid></plugin>"
                  "<plugin rank=\"10\"><progid>Sample.EventCounter</progid></plugin>");
  StoreSystem("sys.ClientVersion", "4.2.1");
  // The product key is the installer's; the summary is only written into it.
  ASSERT_EQ(Ctl({"reg", "set", "HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5", "WmiInfo", "none yet"}).exit_code, 0);
  const ProgramRun list = Ctl({"plugins", "list"});
  EXPECT_NE(list.out.find("10  Sample.EventCounter  " + out_of_tree + "/event_counter.so  loads (events plug-in)"),
            std::string::npos)
      << list.out << list.err;

  {
    Hearthd hearthd(root_.path());
    ASSERT_TRUE(hearthd.started());
    ASSERT_EQ(hearthd.Stop(), 0);
  }
  const std::vector<std::string> log = LogMessages(root_.path());
  std::vector<std::string> expected = {
      " Creating Plugin 'Sample.EventCounter'", " Created Plugin 'Sample.EventCounter'. Error state is ''",
      " Creating Plugin 'Sample.Notifier'", " Created Plugin 'Sample.Notifier'. Error state is ''"};
  for (const char* event : {"OnStartup", "OnSettingsChange", "OnShutdown"}) {
    expected.push_back("Notifying 2 plugins");
    for (const char* p : {"Sample.EventCounter", "Sample.Notifier"}) {
      expected.push_back(std::string("IoCoreEvents::NotifyFeaturePlugins: Sending ") + event + " to " + p);
      expected.push_back(std::string("IoCoreEvents::NotifyFeaturePlugins: Sent ") + event + " to " + p);
    }
    expected.push_back("IoCoreEvents.NotifyFeaturePlugins: updating WmiInfo value");
  }
  // The expected lines appear in this order (other lines may come between).
  size_t at = 0;
  for (const std::string& line : expected) {
    while (at < log.size() && log[at] != line) ++at;
    ASSERT_LT(at, log.size()) << "missing or out of order: " << line;
    ++at;
  }
  const ProgramRun wmi = Ctl({"reg", "get", "HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5", "WmiInfo"});
  EXPECT_EQ(wmi.out, "Client: 4.2.1; \n") << wmi.err;
}

}  // namespace
}  // namespace blackbox_plugins
