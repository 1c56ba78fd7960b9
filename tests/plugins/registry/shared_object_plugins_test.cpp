#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "contracts/lifecycle/lifecycle_state.h"
#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "platform/registry/registry_helpers.h"
#include "platform/root/machine_root.h"
#include "plugin_fixture.h"
#include "plugins/host/c_plugin_host.h"
#include "plugins/loader/plugin_loader.h"
#include "plugins/notify/feature_plugins.h"
#include "plugins/notify/notify_feature_plugins.h"

namespace plugins {
namespace {

using init_testing::RunOnFreshThread;
using plugin_testing::Entry;
using platform::Variant;

std::string Library(const std::string& name) { return std::string(HEARTH_PLUGIN_DIR) + "/" + name + ".so"; }

class SharedObjectTest : public plugin_testing::PluginTest {
 protected:
  void Register(const std::string& progid, const std::string& path) {
    ASSERT_EQ(loader::RegisterPluginLibrary(progid, path), 0);
  }
  // The description of the one creation failure the query logged.
  std::string CreationError(const std::string& progid) {
    const std::string head = "CreatePlugin - Could not create Plugin '" + progid + "' The error was '";
    for (const auto& line : MessagesSinceMark()) {
      if (line.starts_with(head)) return line.substr(head.size(), line.size() - head.size() - 1);
    }
    return "<no creation failure>";
  }
};

TEST_F(SharedObjectTest, TheEventCounterSampleLoadsCountsAndAsksForASettingsChange) {
  Register("Sample.EventCounter", Library("event_counter"));
  RunOnFreshThread([&] {
    auto system = InstallSystem();
    SetPluginList(Entry("Sample.EventCounter", "1"));
    QueryFeaturePlugins();
    ASSERT_EQ(FeaturePluginCount(), 1u);
    auto host = std::dynamic_pointer_cast<cPluginHost>(FeaturePluginHost("Sample.EventCounter"));
    EXPECT_TRUE(host->IsIoCoreEvents());
    EXPECT_FALSE(GetFeaturePluginStatus("Sample.EventCounter", ""));
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    NotifyFeaturePlugins(typelib::OnDeviceChange, system, settings::GetUserSettings());
    EXPECT_TRUE(GetFeaturePluginStatus("Sample.EventCounter", "startup"));
    platform::com::ObjectPtr data = GetFeaturePluginData("Sample.EventCounter");
    EXPECT_EQ(platform::CLng(platform::com::CallByName(data, "Count")), 2);
    EXPECT_EQ(platform::CStr(platform::com::CallByName(data, "LastEvent")), "OnDeviceChange");

    // Told to, it leaves "tmp.SettingsChanged" at a user switch.
    system->SetValue("sample.requestsettingschange", Variant(true));
    NotifyFeaturePlugins(typelib::OnUserLogon, system, settings::GetUserSettings());
    const auto lines = MessagesSinceMark();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "IoCoreEvents::NotifyFeaturePlugins: Settings changed; notifying applications and plug-ins..."),
              lines.end());
    EXPECT_FALSE(system->Exists("tmp.settingschanged"));
    EXPECT_EQ(platform::CLng(platform::com::CallByName(data, "Count")), 3);
  });
}

TEST_F(SharedObjectTest, TheNotifierSampleRunsTheExchangeAndItsRequests) {
  Register("Sample.Notifier", Library("notifier_sample"));
  RunOnFreshThread([&] {
    auto system = InstallSystem({{"sys.AppPath", "/opt/veltris"}, {"sys.a1", "one"}});
    SetPluginList(Entry("Sample.Notifier", "1"));
    QueryFeaturePlugins();
    ASSERT_EQ(FeaturePluginCount(), 1u);
    EXPECT_FALSE(GetFeaturePluginStatus("Sample.Notifier", ""));
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    EXPECT_TRUE(GetFeaturePluginStatus("Sample.Notifier", ""));
    EXPECT_EQ(platform::CStr(settings::GetUserSettings()->GetValue("sample.notifier.events")), "1");
    EXPECT_EQ(platform::CStr(system->GetValue("sample.notifier.lastevent")), "OnStartup");
  });
}

TEST_F(SharedObjectTest, LibrariesThatCannotServeAreCreationFailuresThatSayWhy) {
  testing_support::WriteFileBytes(root_ / "not_a_library.so", "just text\n");
  struct Case {
    std::string progid;
    std::string path;
    std::string says;  // part of the error description
  };
  const std::vector<Case> cases = {
      {"Bad.Missing", "/nonexistent/plugin.so", "the file does not exist"},
      {"Bad.NotElf", root_.str() + "/not_a_library.so", "could not be loaded"},
      {"Bad.NoEntry", Library("plugin_fixture_no_entry"), "has no entry point HearthPluginCreate"},
      {"Bad.WrongAbi", Library("plugin_fixture_wrong_abi"),
       "was built for plug-in interface 1 (description 16, value 1, text 2, reference 3 bytes), the service offers 2 "
       "(description 20, "},
      // Built through HEARTH_PLUGIN, unoptimised, for another version.
      {"Fixture.OtherAbi", Library("plugin_fixture_other_abi"), "was built for plug-in interface 77 (description 20, "},
      {"Bad.NullFactory", Library("plugin_fixture_null_factory"), "returned nothing for 'Bad.NullFactory'"},
      // Its static constructor throws: loaded here it would end the process.
      {"Fixture.ThrowsAtLoad", Library("plugin_fixture_throwing_static"),
       "could not be loaded: its start-up code ended the process that tried it (signal 6, Aborted): terminate "
       "called after throwing an instance of 'std::runtime_error'; what():  static constructor failed"},
      {"Fixture.ThrowsOnCreate", Library("plugin_fixture_throwing"), "cannot start without its driver"},
      {"Bad.UnknownClass", Library("plugin_fixture_throwing"), "does not make objects of class 'Bad.UnknownClass'"},
  };
  for (const Case& c : cases) Register(c.progid, c.path);
  ASSERT_EQ(platform::registry::WriteStringValue(platform::registry::kHkeyClassesRoot, "Bad.Relative\\InprocServer32",
                                                 "", "plugins/x.so"),
            0);
  RunOnFreshThread([&] {
    InstallSystem();
    std::string list;
    for (const Case& c : cases) list += Entry(c.progid, "1");
    SetPluginList(list + Entry("Bad.Relative", "2"));
    Mark();
    QueryFeaturePlugins();
    EXPECT_EQ(FeaturePluginCount(), 0u);
    for (const Case& c : cases) {
      const std::string error = CreationError(c.progid);
      EXPECT_TRUE(error.starts_with("plug-in library '" + c.path + "' ")) << error;
      EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
    EXPECT_NE(CreationError("Bad.Relative").find("the path is not absolute"), std::string::npos);
  });
}

// The service runs a plug-in's code with its own rights: a library file that
// someone else could have changed is refused before it is opened.
TEST_F(SharedObjectTest, LibrariesOthersCouldChangeAreRefused) {
  namespace fs = std::filesystem;
  struct Case {
    std::string progid;
    fs::perms mode;
    uid_t owner;  // 0: left as copied
    std::string why;
  };
  std::vector<Case> cases = {
      {"Unsafe.AllWrite", fs::perms(0666), 0, "it is writable by group or others"},
      {"Unsafe.GroupWrite", fs::perms(0664), 0, "it is writable by group or others"},
      {"Unsafe.OtherWrite", fs::perms(0646), 0, "it is writable by group or others"},
      {"Sample.EventCounter", fs::perms(0700), 0, ""},  // the owner's own rights do not matter
  };
  if (geteuid() == 0) cases.push_back({"Unsafe.Nobody", fs::perms(0644), 65534, "it is owned by another user (uid 65534)"});
  for (const Case& c : cases) {
    const fs::path copy = root_ / (c.progid + ".so");
    fs::copy_file(Library("event_counter"), copy);
    fs::permissions(copy, c.mode);
    if (c.owner != 0) {
      ASSERT_EQ(::chown(copy.c_str(), c.owner, static_cast<gid_t>(-1)), 0);
    }
    Register(c.progid, copy.string());
  }
  RunOnFreshThread([&] {
    InstallSystem();
    std::string list;
    for (const Case& c : cases) list += Entry(c.progid, "1");
    SetPluginList(list);
    Mark();
    QueryFeaturePlugins();
    EXPECT_EQ(FeaturePluginCount(), 1u);
    for (const Case& c : cases) {
      if (c.why.empty()) {
        EXPECT_EQ(CreationError(c.progid), "<no creation failure>");
        continue;
      }
      EXPECT_EQ(CreationError(c.progid),
                "plug-in library '" + (root_ / (c.progid + ".so")).string() + "' could not be loaded: " + c.why);
    }
  });
  // The failure is a creation failure, 429, for the one who asked.
  bool raised = false;
  try {
    loader::CreateFromLibrary("Unsafe.AllWrite");
  } catch (const platform::BasicError& error) {
    raised = true;
    EXPECT_EQ(error.number(), platform::kErrCannotCreateObject);
  }
  EXPECT_TRUE(raised);
}

// The file that is checked is the file that is loaded: a link is not
// followed, and no folder above the library may be one that someone else
// could change (they could swap the library, or a folder, under the check).
TEST_F(SharedObjectTest, LibrariesInFoldersOthersCouldChangeAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give folders to other users";
  namespace fs = std::filesystem;
  constexpr uid_t kNobody = 65534;
  const fs::path base = root_ / "libs";
  fs::create_directories(base);
  fs::permissions(base, fs::perms(0755));
  struct Case {
    std::string progid;
    std::string folder;  // below base
    std::string why;     // "" when accepted
  };
  const std::vector<Case> cases = {
      {"Unsafe.OpenFolder", "open", "the folder " + (base / "open").string() + " is writable by group or others"},
      {"Unsafe.GroupFolder", "group", "the folder " + (base / "group").string() + " is writable by group or others"},
      {"Unsafe.OthersFolder", "theirs", "the folder " + (base / "theirs").string() + " is owned by another user (uid 65534)"},
      {"Unsafe.InShared", "shared/theirs",
       "the folder " + (base / "shared/theirs").string() + " lies in a folder anyone may write and is not root's"},
      {"Sample.EventCounter", "shared/roots", ""},
  };
  const auto make = [&](const std::string& relative, fs::perms mode, uid_t owner) {
    const fs::path folder = base / relative;
    fs::create_directories(folder);
    fs::permissions(folder, mode);
    if (owner != 0) {
      ASSERT_EQ(::chown(folder.c_str(), owner, static_cast<gid_t>(-1)), 0);
    }
  };
  make("open", fs::perms(0777), 0);
  make("group", fs::perms(0775), 0);
  make("shared", fs::perms(01777), 0);
  make("shared/roots", fs::perms(0755), 0);
  for (const Case& c : cases) {
    const fs::path folder = base / c.folder;
    if (!fs::exists(folder)) fs::create_directories(folder);
    fs::copy_file(Library("event_counter"), folder / "plugin.so");
    fs::permissions(folder / "plugin.so", fs::perms(0644));
    Register(c.progid, (folder / "plugin.so").string());
  }
  make("theirs", fs::perms(0755), kNobody);
  make("shared/theirs", fs::perms(0755), kNobody);
  // A link to a good library is refused: the file itself must be named.
  fs::create_symlink(base / "shared/roots/plugin.so", base / "link.so");
  Register("Unsafe.Link", (base / "link.so").string());
  RunOnFreshThread([&] {
    InstallSystem();
    std::string list;
    for (const Case& c : cases) list += Entry(c.progid, "1");
    SetPluginList(list + Entry("Unsafe.Link", "1"));
    Mark();
    QueryFeaturePlugins();
    EXPECT_EQ(FeaturePluginCount(), 1u);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.progid);
      if (c.why.empty()) {
        EXPECT_EQ(CreationError(c.progid), "<no creation failure>");
        continue;
      }
      EXPECT_EQ(CreationError(c.progid),
                "plug-in library '" + (base / c.folder / "plugin.so").string() + "' could not be loaded: " + c.why);
    }
    EXPECT_EQ(CreationError("Unsafe.Link"), "plug-in library '" + (base / "link.so").string() +
                                                "' could not be loaded: it is a symbolic link (register the file it "
                                                "names)");
  });
}

// A library's constructor that creates an object of another shared-object
// ProgID re-enters the loader; it used to wait for ever on the loader's own
// lock, held across the load.
TEST_F(SharedObjectTest, ALibraryThatCreatesAnotherPlugInWhileLoadingIsServed) {
  Register("Fixture.LoadsAnother", Library("plugin_fixture_loads_another"));
  Register("Fixture.ThrowsOnEvents", Library("plugin_fixture_throwing"));
  loader::InstallSharedObjectLoader();
  RunOnFreshThread([&] {
    platform::com::ObjectPtr object = loader::CreateFromLibrary("Fixture.LoadsAnother");
    ASSERT_NE(object, nullptr);
    auto plugin = std::dynamic_pointer_cast<typelib::INorvIoCoreEvents>(object);
    ASSERT_NE(plugin, nullptr);
    platform::com::ObjectPtr data;
    // The object its constructor made is of the other library's class.
    std::string type;
    EXPECT_NO_THROW(type = loader::CreateFromLibrary("Fixture.ThrowsOnEvents")->TypeName());
    EXPECT_TRUE(plugin->GetStatus(data, type)) << type;
  });
}

TEST_F(SharedObjectTest, ExceptionsFromALoadedLibraryAreContained) {
  Register("Fixture.ThrowsOnEvents", Library("plugin_fixture_throwing"));
  RunOnFreshThread([&] {
    auto system = InstallSystem();
    SetPluginList(Entry("Fixture.ThrowsOnEvents", "1"));
    QueryFeaturePlugins();
    ASSERT_EQ(FeaturePluginCount(), 1u);
    Mark();
    NotifyFeaturePlugins(typelib::OnStartup, system, settings::GetUserSettings());
    EXPECT_FALSE(GetFeaturePluginStatus("Fixture.ThrowsOnEvents", ""));
    const auto lines = MessagesSinceMark();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "IoCoreEvents::NotifyFeaturePlugins: Sent OnStartup to Fixture.ThrowsOnEvents"),
              lines.end());
  });
}

TEST(PluginRegistrationTest, RegisterAndUnregisterKeepTheLibraryPathInTheHive) {
  testing_support::TempRoot root;
  platform::SetMachineRoot(root.path());
  EXPECT_EQ(loader::RegisterPluginLibrary("My.Plugin", "/opt/p.so"), 0);
  EXPECT_EQ(loader::RegisteredLibrary("my.plugin"), "/opt/p.so");
  EXPECT_EQ(platform::registry::ReadStringValue(platform::registry::kHkeyClassesRoot, "My.Plugin\\InprocServer32", ""),
            "/opt/p.so");
  EXPECT_EQ(loader::RegisterPluginLibrary("My.Plugin", "relative.so"), 87);
  EXPECT_EQ(loader::RegisterPluginLibrary("My\\Plugin", "/opt/p.so"), 87);
  EXPECT_EQ(loader::UnregisterPluginLibrary("My.Plugin"), 0);
  EXPECT_EQ(loader::RegisteredLibrary("My.Plugin"), std::nullopt);
  EXPECT_EQ(loader::UnregisterPluginLibrary("My.Plugin"), 2);
  platform::SetMachineRoot({});
}

}  // namespace
}  // namespace plugins
