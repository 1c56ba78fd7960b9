// hearthctl reg get/set/delete/list run as a program on a fresh root.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/registry/registry_helpers.h"
#include "platform/root/machine_root.h"
#include "testing/run_tool.h"
#include "testing/temp_root.h"

namespace {

using hearthctl_test::RunTool;
using hearthctl_test::ToolRun;
namespace reg = platform::registry;

constexpr const char* kProduct = "HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5";

class HearthctlRegTest : public ::testing::Test {
 protected:
  ToolRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root_.str()});
    return RunTool("hearthctl", args);
  }
  void TearDown() override {
    reg::ResetHiveForTesting();
    platform::SetMachineRoot({});
  }
  testing_support::TempRoot root_;
};

TEST_F(HearthctlRegTest, SetGetListDeleteOnAFreshRoot) {
  ToolRun set = Ctl({"reg", "set", kProduct, "installdir", "/opt/veltris"});
  EXPECT_EQ(set.exit_code, 0) << set.err;
  EXPECT_EQ(set.out, "");
  EXPECT_EQ(Ctl({"reg", "set", "--type", "REG_DWORD", kProduct, "TraceLevel", "4"}).exit_code, 0);
  EXPECT_EQ(Ctl({"reg", "set", "--type", "binary", kProduct, "Blob", "00 ff 10"}).exit_code, 0);
  EXPECT_EQ(Ctl({"reg", "set", std::string(kProduct) + "\\Plugins", "", "default text"}).exit_code, 0);

  ToolRun get = Ctl({"reg", "get", "HKEY_LOCAL_MACHINE\\software\\norvale\\veltris\\V1.5", "INSTALLDIR"});
  EXPECT_EQ(get.exit_code, 0) << get.err;
  EXPECT_EQ(get.out, "/opt/veltris\n");
  EXPECT_EQ(Ctl({"reg", "get", kProduct, "TraceLevel"}).out, "4\n");
  EXPECT_EQ(Ctl({"reg", "get", std::string(kProduct) + "\\Plugins", ""}).out, "default text\n");

  ToolRun list = Ctl({"reg", "list", kProduct});
  EXPECT_EQ(list.exit_code, 0) << list.err;
  EXPECT_EQ(list.out,
            "Plugins\\\n"
            "Blob\tREG_BINARY\t00ff10\n"
            "installdir\tREG_SZ\t/opt/veltris\n"
            "TraceLevel\tREG_DWORD\t4\n");
  EXPECT_EQ(Ctl({"reg", "list", std::string(kProduct) + "\\Plugins"}).out, "(Default)\tREG_SZ\tdefault text\n");

  // What the tool wrote is what the library reads: same file, same bytes.
  platform::SetMachineRoot(root_.path());
  reg::RegValue value;
  ASSERT_EQ(reg::ReadValue(reg::kHkeyLocalMachine, "SOFTWARE\\Norvale\\Veltris\\v1.5", "installdir", &value), 0);
  EXPECT_EQ(value.type, reg::kRegSz);
  EXPECT_EQ(value.data, std::string("/opt/veltris\0", 13));
  reg::ResetHiveForTesting();

  EXPECT_EQ(Ctl({"reg", "delete", kProduct, "installdir"}).exit_code, 0);
  EXPECT_EQ(Ctl({"reg", "get", kProduct, "installdir"}).exit_code, 1);
  ToolRun tree = Ctl({"reg", "delete", "HKLM\\SOFTWARE\\Norvale"});
  EXPECT_EQ(tree.exit_code, 0) << tree.err;
  EXPECT_EQ(Ctl({"reg", "list", "HKLM\\SOFTWARE"}).out, "");
  EXPECT_EQ(Ctl({"reg", "list", "HKLM"}).out, "SOFTWARE\\\n");
}

TEST_F(HearthctlRegTest, ExitCodesAndMessages) {
  ASSERT_EQ(Ctl({"reg", "set", kProduct, "present", "x"}).exit_code, 0);
  struct Case {
    std::vector<std::string> args;
    int exit_code;
    std::string err;  // the first line of stderr
  };
  const std::vector<Case> cases = {
      {{"reg", "get", kProduct, "absent"}, 1,
       "hearthctl reg get: value not found: \"absent\" in HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5"},
      {{"reg", "get", "HKLM\\Nowhere", "x"}, 1, "hearthctl reg get: key not found: HKLM\\Nowhere"},
      {{"reg", "list", "HKU\\Nowhere"}, 1, "hearthctl reg list: key not found: HKU\\Nowhere"},
      {{"reg", "delete", "HKCU\\Nowhere"}, 1, "hearthctl reg delete: key not found: HKCU\\Nowhere"},
      {{"reg", "delete", kProduct, "absent"}, 1,
       "hearthctl reg delete: value not found: \"absent\" in HKLM\\SOFTWARE\\Norvale\\Veltris\\v1.5"},
      {{"reg", "delete", "HKEY_LOCAL_MACHINE"}, 1, "hearthctl reg delete: a root key is never deleted"},
      {{"reg", "get", kProduct}, 2, "hearthctl reg get: too few arguments"},
      {{"reg", "list", kProduct, "extra"}, 2, "hearthctl reg list: too many arguments"},
      {{"reg", "get", "HKXX\\x", "y"}, 2,
       "hearthctl reg get: not a key: \"HKXX\\x\" (write it like HKLM\\SOFTWARE\\Norvale; roots HKCR, HKCU, "
       "HKLM, HKU or their HKEY_ names)"},
      {{"reg", "get", "HKLM\\a\\\\b", "y"}, 2,
       "hearthctl reg get: not a key: \"HKLM\\a\\\\b\" (write it like HKLM\\SOFTWARE\\Norvale; roots HKCR, HKCU, "
       "HKLM, HKU or their HKEY_ names)"},
      {{"reg", "set", "--type", "REG_DWORD", kProduct, "n", "12x"}, 2, "hearthctl reg set: not a 32-bit number: 12x"},
      {{"reg", "set", "--type", "REG_FOO", kProduct, "n", "1"}, 2, "hearthctl reg set: unknown type REG_FOO"},
      {{"reg", "set", "--colour", kProduct, "n", "1"}, 2, "hearthctl reg set: unknown option --colour"},
      {{"reg", "frob"}, 2, "hearthctl: unknown command reg frob"},
      {{"nosuchgroup"}, 2, "hearthctl: unknown command nosuchgroup"},
      {{}, 2, "hearthctl: no command given"},
      {{"--bogus", "reg"}, 2, "hearthctl: unknown option --bogus"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += arg + " ";
    ToolRun run = Ctl(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code) << shown << "\n" << run.err;
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.err) << shown;
    EXPECT_EQ(run.out, "") << shown;
  }
}

TEST_F(HearthctlRegTest, DashDashLetsValuesLookLikeOptions) {
  EXPECT_EQ(Ctl({"reg", "set", "--", kProduct, "flag", "--help"}).exit_code, 0);
  EXPECT_EQ(Ctl({"reg", "get", "--", kProduct, "flag"}).out, "--help\n");
}

// Each command's usage on a line of its own, its description indented below,
// and no line wider than an 80-column terminal.
TEST_F(HearthctlRegTest, HelpListsEveryCommand) {
  ToolRun help = RunTool("hearthctl", {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_TRUE(help.out.starts_with(
      "usage: hearthctl [--root DIR] COMMAND [ARGUMENTS...]\n"
      "\n"
      "Administration tool of the hearth system service.\n"
      "\n"
      "Options:\n"
      "  --root DIR   the machine root (default: $HEARTH_ROOT, else /var/lib/hearth)\n"
      "  --help       this text; COMMAND --help tells about one command\n"
      "\n"))
      << help.out;
  EXPECT_NE(help.out.find("\n\n"
                          "reg: read and write the registry hive\n"
                          "  reg get KEY NAME\n"
                          "      print the data of a value\n"
                          "  reg set [--type TYPE] KEY NAME VALUE\n"
                          "      write a value (a string unless --type says otherwise), creating the key\n"
                          "  reg delete KEY [NAME]\n"
                          "      delete a value, or a key with every key and value below it\n"
                          "  reg list KEY\n"
                          "      list the subkeys, then the values with their type and data\n"
                          "\n"),
            std::string::npos)
      << help.out;
  EXPECT_TRUE(help.out.ends_with("\n\nExit status: 0 done, 1 failed, 2 bad usage.\n")) << help.out;
  std::istringstream lines(help.out);
  for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  ToolRun command = RunTool("hearthctl", {"reg", "set", "--help"});
  EXPECT_EQ(command.exit_code, 0);
  EXPECT_EQ(command.out.substr(0, command.out.find('\n')), "usage: hearthctl reg set [--type TYPE] KEY NAME VALUE");
  EXPECT_NE(command.out.find("REG_DWORD"), std::string::npos);
  ToolRun group = RunTool("hearthctl", {"reg", "--help"});
  EXPECT_EQ(group.exit_code, 0);
  EXPECT_NE(group.out.find("reg list KEY"), std::string::npos);
  ToolRun bare = RunTool("hearthctl", {"reg"});
  EXPECT_EQ(bare.exit_code, 2);
  EXPECT_NE(bare.err.find("reg get KEY NAME"), std::string::npos);
}

TEST_F(HearthctlRegTest, RootOptionFormsAndTheEnvironment) {
  ToolRun joined = RunTool("hearthctl", {"--root=" + root_.str(), "reg", "set", "HKCU\\A", "v", "1"});
  EXPECT_EQ(joined.exit_code, 0) << joined.err;
  EXPECT_TRUE(std::filesystem::exists(root_ / "registry.db"));
  EXPECT_EQ(Ctl({"reg", "get", "HKCU\\A", "v"}).out, "1\n");
  ToolRun missing = RunTool("hearthctl", {"--root"});
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find("--root needs a folder"), std::string::npos);

  setenv("HEARTH_ROOT", root_.str().c_str(), 1);
  ToolRun from_environment = RunTool("hearthctl", {"reg", "get", "HKCU\\A", "v"});
  unsetenv("HEARTH_ROOT");
  EXPECT_EQ(from_environment.out, "1\n") << from_environment.err;

  // A root where no hive can live: a failure, said on stderr, not a crash.
  testing_support::WriteFileBytes(root_ / "plain", "x");
  ToolRun unusable = RunTool("hearthctl", {"--root", (root_ / "plain").string(), "reg", "get", "HKLM\\A", "v"});
  EXPECT_EQ(unusable.exit_code, 1);
  EXPECT_NE(unusable.err.find("the registry hive cannot be read or written"), std::string::npos) << unusable.err;
}

}  // namespace
