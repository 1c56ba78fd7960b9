// hearthctl store, run as a program on a fresh root with its output piped.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/root/machine_root.h"
#include "testing/run_tool.h"
#include "testing/temp_root.h"

namespace {

using hearthctl_test::RunTool;
using hearthctl_test::ToolRun;
namespace fs = std::filesystem;

class HearthctlStoreTest : public ::testing::Test {
 protected:
  ToolRun Ctl(std::vector<std::string> args) {
    args.insert(args.begin(), {"--root", root_.str()});
    return RunTool("hearthctl", args);
  }
  void TearDown() override {
    platform::registry::ResetHiveForTesting();
    platform::SetMachineRoot({});
  }
  std::string P(const std::string& rel) const { return (root_ / rel).string(); }
  testing_support::TempRoot root_;
};

TEST_F(HearthctlStoreTest, AFolderKeyAndStructGoInAndComeBack) {
  testing_support::WriteFileBytes(root_ / "data/a.txt", "alpha");
  testing_support::WriteFileBytes(root_ / "data/sub/.hidden", "h");
  testing_support::WriteFileBytes(root_ / "cfg.json", "{\"x\":1}");
  ASSERT_EQ(Ctl({"reg", "set", "HKLM\\SOFTWARE\\StoreT", "v", "hi"}).exit_code, 0);
  const std::string s = P("s.bin");

  ToolRun run = Ctl({"store", "create", s, "--compress"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "created " + s + " (compressed when finalized)\n");
  run = Ctl({"store", "add-files", s, P("data"), "--recurse"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "stored 2 files (6 bytes) from " + P("data") + " as entry 1\n");
  EXPECT_EQ(run.err, "") << "no progress when piped";
  run = Ctl({"store", "add-key", s, "HKLM\\SOFTWARE\\StoreT"});
  EXPECT_EQ(run.out, "stored HKLM\\SOFTWARE\\StoreT in 1 entries\n");
  run = Ctl({"store", "add-struct", s, "cfg", P("cfg.json"), "--encrypt", "--hash"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  run = Ctl({"store", "finalize", s});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("3 entries"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(", compressed"), std::string::npos) << run.out;

  run = Ctl({"store", "list", s});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("\n1\tfiles\t"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n2\tkey\t"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("key HKEY_LOCAL_MACHINE\\SOFTWARE\\StoreT, 1 values"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\n3\tstruct\t"), std::string::npos) << run.out;

  fs::remove_all(root_ / "data");
  ASSERT_EQ(Ctl({"reg", "delete", "HKLM\\SOFTWARE\\StoreT"}).exit_code, 0);
  run = Ctl({"store", "playback", s, "--structs-to", P("out")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "played back 3 entries from " + s +
                         ": 1 keys, 1 values, 2 files (6 bytes), 1 structs (1 written to " + P("out") + ")\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "data/a.txt"), "alpha");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "data/sub/.hidden"), "h");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "out/cfg"), "{\"x\":1}");
  EXPECT_EQ(Ctl({"reg", "get", "HKLM\\SOFTWARE\\StoreT", "v"}).out, "hi\n");
}

TEST_F(HearthctlStoreTest, WrongUseAndDamagedStoresAreReported) {
  EXPECT_EQ(Ctl({"store", "create"}).exit_code, 2);
  EXPECT_EQ(Ctl({"store", "add-files", P("none.bin"), P(".")}).exit_code, 1);
  testing_support::WriteFileBytes(root_ / "junk.bin", std::string(100, 'j'));
  ToolRun run = Ctl({"store", "list", P("junk.bin")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "hearthctl store list: " + P("junk.bin") + ": invalid file header\n");
  run = Ctl({"store", "playback", P("junk.bin")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("playback ended early"), std::string::npos) << run.err;
  ASSERT_EQ(Ctl({"store", "create", P("s.bin"), "--token", "mine"}).exit_code, 0);
  run = Ctl({"store", "add-key", P("s.bin"), "HKLM\\SOFTWARE"});
  EXPECT_EQ(run.exit_code, 1) << "another token";
  EXPECT_EQ(Ctl({"store", "add-key", P("s.bin"), "HKLM\\SOFTWARE\\Missing", "--token", "mine"}).exit_code, 1);
}

}  // namespace
