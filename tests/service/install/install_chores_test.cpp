// The start's installation chores: the toolkit's type library, the service
// display name, the uninstall entry and the everyone group's access.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/fs/folders.h"
#include "platform/registry/registry_helpers.h"
#include "platform/typelib/load_type_lib.h"
#include "service/host/machine_hive.h"
#include "service/host/toolkit_type_library.h"
#include "service/init/testing/init_test_support.h"
#include "service/install/register_type_lib_file.h"
#include "service/install/registry_permissions.h"
#include "service/install/service_display_name.h"
#include "service/install/uninstall_entry.h"

namespace service {
namespace {

namespace reg = platform::registry;
using init_testing::RunOnFreshThread;
using init_testing::SystemLogMessages;

constexpr char kEntryKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{08959f19-fa0d-4ec6-807c-918d59568e51}";
constexpr char kLibraryKey[] = "TypeLib\\{6B1D3E20-4C7A-4F0E-9A3B-51D2C8E47A10}\\1.0";

class InstallChoresTest : public init_testing::InitTest {
 protected:
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string Value(const std::string& key, const std::string& name, reg::HKEY root = reg::kHkeyLocalMachine) {
    return reg::ReadStringValue(root, key, name).value_or("<missing>");
  }
  // The chore run on a fresh thread; the log messages it wrote.
  std::vector<std::string> Run(void (*chore)()) {
    const size_t before = SystemLogMessages().size();
    RunOnFreshThread(chore);
    std::vector<std::string> messages = SystemLogMessages();
    return std::vector<std::string>(messages.begin() + static_cast<long>(std::min(before, messages.size())),
                                    messages.end());
  }
};

TEST_F(InstallChoresTest, TypeLibraryFilesAreValidatedAndRecorded) {
  const std::string path = ToolkitTypeLibraryPath();
  EXPECT_EQ(path, platform::fs::WindowsFolder() + "/system32/dwntserv.tlb");
  const std::string good = platform::typelib::EncodeTypeLibrary(ToolkitTypeLibrary());
  const std::string attempt = "Attempting to register type library '" + path + "'";
  struct Case {
    const char* what;
    bool present;
    std::string bytes;
    const char* last_line;
    bool recorded;
  } cases[] = {
      {"missing", false, "", "type library registration successful", false},
      {"empty", true, "", "type library registraiton failed", false},
      {"truncated", true, good.substr(0, good.size() - 5), "type library registraiton failed", false},
      {"another format", true, "MSFT\x02\x00\x01\x00 not ours at all", "type library registraiton failed", false},
      {"damaged", true, good.substr(0, 40) + "X" + good.substr(41), "type library registraiton failed", false},
      {"valid", true, good, "type library registration successful", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reg::DeleteKeyTree(reg::kHkeyClassesRoot, "TypeLib");
    std::filesystem::remove(path);
    if (c.present) WriteFile(path, c.bytes);
    const std::vector<std::string> lines = Run(RegisterToolkitTypeLibrary);
    EXPECT_EQ(lines, (std::vector<std::string>{attempt, c.last_line}));
    EXPECT_EQ(reg::KeyExists(reg::kHkeyClassesRoot, kLibraryKey), c.recorded);
  }
  EXPECT_EQ(Value(kLibraryKey, "", reg::kHkeyClassesRoot), "dwNTServLib");
  EXPECT_EQ(Value(std::string(kLibraryKey) + "\\0\\win32", "", reg::kHkeyClassesRoot), path);
  EXPECT_EQ(Value(std::string(kLibraryKey) + "\\FLAGS", "", reg::kHkeyClassesRoot), "0");
  EXPECT_EQ(Value(std::string(kLibraryKey) + "\\HELPDIR", "", reg::kHkeyClassesRoot), "");
  const std::string service_interface = "Interface\\{6B1D3E21-4C7A-4F0E-9A3B-51D2C8E47A10}";
  EXPECT_EQ(Value(service_interface, "", reg::kHkeyClassesRoot), "IdwEasyService");
  EXPECT_EQ(Value(service_interface + "\\TypeLib", "", reg::kHkeyClassesRoot),
            "{6B1D3E20-4C7A-4F0E-9A3B-51D2C8E47A10}");
  EXPECT_EQ(Value(service_interface + "\\TypeLib", "Version", reg::kHkeyClassesRoot), "1.0");
}

TEST_F(InstallChoresTest, DisplayNameOnlyUnderTheHostAndOnlyIntoAnExistingServiceKey) {
  // Without the environment flag: nothing, even with the key there.
  reg::CreateKey(reg::kHkeyLocalMachine, kServiceKey);
  EXPECT_TRUE(Run(SetServiceDisplayName).empty());
  EXPECT_EQ(Value(kServiceKey, "DisplayName"), "<missing>");

  WriteMachineConfig("EnvironmentFlag = 1\n");
  EXPECT_EQ(Run(SetServiceDisplayName),
            std::vector<std::string>{"Setting Service display name to 'Veltris Security System Service'"});
  EXPECT_EQ(Value(kServiceKey, "DisplayName"), "Veltris Security System Service");

  // A missing service key: nothing is written or logged, and no key is made.
  reg::DeleteKeyTree(reg::kHkeyLocalMachine, kServiceKey);
  EXPECT_TRUE(Run(SetServiceDisplayName).empty());
  EXPECT_FALSE(reg::KeyExists(reg::kHkeyLocalMachine, kServiceKey));
}

// Branding without the entries the chores look up: the defaults apply.
TEST_F(InstallChoresTest, MissingBrandingStringsGiveTheDefaults) {
  WriteMachineConfig("EnvironmentFlag = 1\n");
  WriteFile((root_.path() / "config/branding.xml").string(),
            "<branding defaultbrand=\"b\"><macros/><strings/></branding>");
  reg::CreateKey(reg::kHkeyLocalMachine, kServiceKey);
  reg::CreateKey(reg::kHkeyLocalMachine, kUninstallKey);
  Run(SetServiceDisplayName);
  Run(WriteUninstallEntry);
  EXPECT_EQ(Value(kServiceKey, "DisplayName"), "QOR Security System Service");
  EXPECT_EQ(Value(kEntryKey, "Publisher"), "");
  EXPECT_EQ(Value(kEntryKey, "HelpLink"), "https://support.norvale.example/veltris");
  EXPECT_EQ(Value(kEntryKey, "URLInfoAbout"), "");
  EXPECT_TRUE(Value(kEntryKey, "DisplayIcon").ends_with("/res/HEARTH.ICO")) << Value(kEntryKey, "DisplayIcon");
}

TEST_F(InstallChoresTest, UninstallEntryHoldsEveryValueInOrderAndTheSecondFlagSwapsTheLinks) {
  const std::string instdir = (root_.path() / "program files/Norvale/Veltris").string();
  const std::string cfdir = (root_.path() / "commonfiles").string();
  struct Case {
    const char* config;
    const char* help_link;
    const char* about;
  } cases[] = {
      {"ShortNameFlag = 1\n", "https://www.norvale.example/", "https://support.norvale.example/veltris"},
      {"ShortNameFlag = 0\n", "https://support.norvale.example/veltris", "https://www.norvale.example/"},
  };
  // No Uninstall key: nothing written, nothing logged.
  EXPECT_TRUE(Run(WriteUninstallEntry).empty());
  EXPECT_FALSE(reg::KeyExists(reg::kHkeyLocalMachine, kEntryKey));
  reg::CreateKey(reg::kHkeyLocalMachine, kUninstallKey);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    WriteMachineConfig(c.config);
    reg::DeleteKeyTree(reg::kHkeyLocalMachine, kEntryKey);
    EXPECT_EQ(Run(WriteUninstallEntry), std::vector<std::string>{"Setting ARP registry information"});
    std::vector<reg::RegValue> values;
    ASSERT_EQ(reg::ListValues(reg::kHkeyLocalMachine, kEntryKey, &values), 0);
    std::vector<std::pair<std::string, std::string>> found;
    for (const reg::RegValue& value : values) {
      EXPECT_EQ(value.type, reg::kRegSz) << value.name;
      found.emplace_back(value.name, Value(kEntryKey, value.name));
    }
    // In the order written.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"DisplayName", "Norvale Veltris Security Suite"},
        {"DisplayVersion", "2.1.7.0001"},
        {"DisplayIcon", instdir + "/res/VELTRIS.ICO"},
        {"Publisher", "Norvale"},
        {"InstallSource", "\"" + cfdir + "/Norvale Shared\""},
        {"InstallLocation", "\"" + instdir + "\""},
        {"ModifyPath", "\"" + instdir + "/app/repair.exe\" -modify"},
        {"UninstallString", "\"" + instdir + "/app/repair.exe\" -remove"},
        {"HelpLink", c.help_link},
        {"URLInfoAbout", c.about},
    };
    EXPECT_EQ(found, expected);
  }
}

TEST_F(InstallChoresTest, RegistryAccessOnlyUnderTheHostAndLoggedWhenTheProductKeyIsMissing) {
  EXPECT_TRUE(Run(GrantRegistryAccess).empty());
  WriteMachineConfig("EnvironmentFlag = 1\n");
  std::vector<std::string> lines = Run(GrantRegistryAccess);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].ends_with(": Could not open registry key 'SOFTWARE\\Norvale\\Veltris\\v1.5' to set permissions"))
      << lines[0];
  EXPECT_GT(lines[0].find(':'), 8u);  // the date and time in front
  reg::CreateKey(reg::kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5");
  EXPECT_TRUE(Run(GrantRegistryAccess).empty());
}

TEST_F(InstallChoresTest, TheHostPreparesTheKeysAWindowsMachineHas) {
  std::string error;
  ASSERT_TRUE(PrepareMachineHive(&error)) << error;
  EXPECT_TRUE(reg::KeyExists(reg::kHkeyLocalMachine, kUninstallKey));
  EXPECT_TRUE(reg::KeyExists(reg::kHkeyLocalMachine, kServiceKey));
  // The type library is placed once; a file already there is left alone.
  const std::string path = ToolkitTypeLibraryPath();
  ASSERT_TRUE(PlaceToolkitTypeLibrary(path, &error)) << error;
  platform::typelib::TypeLibrary library;
  EXPECT_EQ(platform::typelib::LoadTypeLib(path, &library), platform::typelib::kSOk);
  WriteFile(path, "mine");
  ASSERT_TRUE(PlaceToolkitTypeLibrary(path, &error));
  std::ifstream file(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "mine");
}

}  // namespace
}  // namespace service
