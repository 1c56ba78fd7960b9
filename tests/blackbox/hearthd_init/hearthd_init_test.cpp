// Start-up and shutdown of a running hearthd: what the start loads, what the
// stop stores, safe mode, user synchronisation and the uninstall marker.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "contracts/support_objects.h"
#include "platform/basic/variant.h"
#include "platform/root/machine_root.h"
#include "programs.h"
#include "settings/collection/c_settings.h"
#include "testing/temp_root.h"

namespace hearthd_init_test {
namespace {

constexpr char kProductKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvale\\Veltris\\v1.5";
constexpr char kAlice[] = "S-1-22-1-1000";
constexpr char kBob[] = "S-1-22-1-1001";

class HearthdInit : public ::testing::Test {
 protected:
  void WriteMachineConfig(const std::string& text) { testing_support::WriteFileBytes(root_ / "machine.conf", text); }

  // Stores a system collection on the root as an earlier run would have.
  void StoreSystem(const std::vector<std::pair<std::string, platform::Variant>>& values) {
    std::thread([&] {
      platform::SetMachineRoot(root_.path());
      settings::cSettings system;
      for (const auto& [name, value] : values) system.SetValue(name, value);
      system.WriteSnapshotToStored("");
      contracts::Support().Reset();
      platform::SetMachineRoot({});
    }).join();
  }

  // One start and stop; the stop must succeed.
  void RunOnce() {
    Hearthd hearthd(root_.path());
    ASSERT_TRUE(hearthd.started());
    ASSERT_EQ(hearthd.Stop(), 0);
  }

  std::string Dump(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"--root", root_.str(), "settings", "dump"};
    args.insert(args.end(), extra.begin(), extra.end());
    ProgramRun run = RunProgram("hearthctl", args);
    if (run.exit_code != 0) return "exit " + std::to_string(run.exit_code) + ": " + run.err;
    if (!run.out.empty() && run.out.back() == '\n') run.out.pop_back();
    return run.out;
  }

  static std::string Element(const std::string& name, const std::string& text, const std::string& vt = "8") {
    return "<" + name + " VT=\"" + vt + "\">" + text + "</" + name + ">";
  }

  testing_support::TempRoot root_;
};

TEST_F(HearthdInit, AStartLoadsTheSettingsAndAStopStoresThem) {
  RunOnce();
  const std::vector<std::string> log = LogMessages(root_.path());
  EXPECT_TRUE(HasMessage(log, "SvcInit::Init - loading system settings"));
  EXPECT_TRUE(HasMessage(log, "Loading loading guest profile since we couldn't find the current user"));
  EXPECT_TRUE(HasMessage(log, "SvcInit::Init done"));
  EXPECT_TRUE(HasMessageEnding(log, ": in ShutdownAll"));
  EXPECT_TRUE(HasMessageEnding(log, ": Exiting ShutdownAll"));

  const std::string system = Dump();
  EXPECT_NE(system.find(Element("sys.apppath", "")), std::string::npos) << system;
  EXPECT_NE(system.find(Element("sys.profilepath", root_.str() + "/commonfiles/Norvale/QORC/prf")), std::string::npos);
  EXPECT_NE(system.find(Element("sys.protecton", "True", "11")), std::string::npos);
  EXPECT_NE(system.find(Element("users.sids", "*|")), std::string::npos);
}

TEST_F(HearthdInit, TheGuestProfileAndFeatureSetsAreStoredWithTheApplication) {
  RunOnce();
  const std::vector<std::string> log = LogMessages(root_.path());
  bool application_started = false;
  for (const std::string& message : log) {
    if (message.rfind("ShApplication.Startup: my thread=0x", 0) == 0) application_started = true;
  }
  if (!application_started) GTEST_SKIP() << "this hearthd starts no Application object";

  std::string guest_id;
  for (const std::string& message : log) {
    if (message.rfind("SvcInit::Init - loaded user settings ", 0) == 0) guest_id = message;
  }
  EXPECT_NE(guest_id, "SvcInit::Init - loaded user settings  (  )");
  const std::string system = Dump();
  EXPECT_NE(system.find("<features."), std::string::npos) << system;
  EXPECT_NE(system.find(Element("adminuser.sid", "*")), std::string::npos);
  const std::string guest = Dump({"--user", "*"});
  EXPECT_NE(guest.find(Element("user.sid", "*")), std::string::npos) << guest;
  EXPECT_NE(guest.find(Element("legacy.signature", "TPv1a")), std::string::npos);
}

TEST_F(HearthdInit, SafeModeLoadsAndStoresNothing) {
  WriteMachineConfig("CleanBoot = 1\n");
  RunOnce();
  const std::vector<std::string> log = LogMessages(root_.path());
  EXPECT_FALSE(HasMessage(log, "SvcInit::Init - loading system settings"));
  EXPECT_TRUE(HasMessageEnding(log, ": in ShutdownAll"));
  EXPECT_FALSE(HasMessageEnding(log, ": Calling DestroyIOPluginData"));
  EXPECT_FALSE(HasMessageEnding(log, ": Exiting ShutdownAll"));
  EXPECT_EQ(Dump().rfind("exit 1", 0), 0u);
}

TEST_F(HearthdInit, LocalAccountsAreSynchronisedInMultiUserMode) {
  testing_support::WriteFileBytes(root_ / "etc/passwd",
                                  "root:x:0:0:root:/root:/bin/bash\n"
                                  "daemon:x:1:1:daemon:/usr/sbin:/usr/sbin/nologin\n"
                                  "alice:x:1000:1000:Alice Example,,,:/home/alice:/bin/bash\n"
                                  "bob:x:1001:1001::/home/bob:/bin/sh\n");
  WriteMachineConfig("PasswdFile = etc/passwd\n");
  StoreSystem({{"legacy.featuremultiuser", platform::Variant(true)},
               {"users.sids", platform::Variant(std::string("*|") + kBob + "|")},
               {std::string("user.") + kBob + ".userid", platform::Variant("bob")},
               {std::string("user.") + kBob + ".isadmin", platform::Variant(true)}});
  RunOnce();

  std::string system = Dump();
  EXPECT_NE(system.find(Element("users.sids", std::string(kBob) + "|S-1-22-1-0|" + kAlice + "|")), std::string::npos)
      << system;
  EXPECT_NE(system.find(Element("adminuser.sid", kBob)), std::string::npos);
  EXPECT_NE(system.find(Element("user.s-1-22-1-1000.friendlyname", "Alice Example")), std::string::npos);
  EXPECT_NE(system.find(Element("user.s-1-22-1-1001.friendlyname", "bob")), std::string::npos);
  EXPECT_NE(system.find(Element("user.s-1-22-1-1001.isadmin", "True", "11")), std::string::npos);
  const std::string alice = Dump({"--user", kAlice});
  EXPECT_NE(alice.find(Element("user.id", "alice")), std::string::npos) << alice;
  EXPECT_NE(alice.find(Element("legacy.signature", "TPv1u")), std::string::npos);
  EXPECT_FALSE(
      HasMessage(LogMessages(root_.path()), "Loading loading guest profile since we couldn't find the current user"));

  // Bob leaves: his entries and his file go, and nobody is administrator.
  testing_support::WriteFileBytes(root_ / "etc/passwd",
                                  "root:x:0:0:root:/root:/bin/bash\n"
                                  "alice:x:1000:1000:Alice Example,,,:/home/alice:/bin/bash\n");
  RunOnce();
  system = Dump();
  EXPECT_NE(system.find(Element("users.sids", std::string("S-1-22-1-0|") + kAlice + "|")), std::string::npos) << system;
  EXPECT_EQ(system.find("user.s-1-22-1-1001"), std::string::npos);
  EXPECT_EQ(Dump({"--user", kBob}).rfind("exit 1", 0), 0u);
  EXPECT_TRUE(
      HasMessage(LogMessages(root_.path()), "Loading loading guest profile since we couldn't find the current user"));
}

TEST_F(HearthdInit, TheUninstallMarkerEmptiesTheStoredSettings) {
  RunOnce();
  ASSERT_EQ(
      RunProgram("hearthctl", {"--root", root_.str(), "reg", "set", kProductKey, "DoUninstall", "true"}).exit_code, 0);
  RunOnce();
  EXPECT_EQ(Dump(), "<VeltrisSettings><cSettings name=\"Windows_v1.50\">" + Element("uncorrupted", "Definitely") +
                        "</cSettings></VeltrisSettings>");
  EXPECT_NE(RunProgram("hearthctl", {"--root", root_.str(), "reg", "get", kProductKey, "DoUninstall"}).exit_code, 0);
}

}  // namespace
}  // namespace hearthd_init_test
