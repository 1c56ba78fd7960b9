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
  EXPECT_EQ(run.err,
            "hearthctl store playback: the store is damaged: what the damage held was not played back (see the "
            "system log)\n");
  ASSERT_EQ(Ctl({"store", "create", P("s.bin"), "--token", "mine"}).exit_code, 0);
  run = Ctl({"store", "add-key", P("s.bin"), "HKLM\\SOFTWARE"});
  EXPECT_EQ(run.exit_code, 1) << "another token";
  EXPECT_EQ(Ctl({"store", "add-key", P("s.bin"), "HKLM\\SOFTWARE\\Missing", "--token", "mine"}).exit_code, 1);
}

TEST_F(HearthctlStoreTest, APlaybackThatLeftAnythingUndoneSaysWhatAndExitsOne) {
  testing_support::WriteFileBytes(root_ / "data/a.txt", "alpha");
  testing_support::WriteFileBytes(root_ / "data/b.txt", "beta");
  const std::string s = P("s.bin");
  ASSERT_EQ(Ctl({"store", "create", s}).exit_code, 0);
  ASSERT_EQ(Ctl({"store", "add-files", s, P("data")}).exit_code, 0);
  ASSERT_EQ(Ctl({"store", "add-files", s, P("data")}).exit_code, 0);
  ASSERT_EQ(Ctl({"store", "finalize", s}).exit_code, 0);
  const std::string whole = testing_support::ReadFileBytes(s);
  const size_t first = whole.find("SEHv002");
  const size_t second = whole.find("SEHv002", first + 1);
  ASSERT_NE(second, std::string::npos);
  const std::string damaged = "hearthctl store playback: the store is damaged: what the damage held was not played "
                              "back (see the system log)\n";
  struct Case {
    const char* name;
    std::string bytes;
    std::string out_counts;
    std::string err;
  };
  std::string broken_chain = whole;
  broken_chain[second] = 'X';  // the second entry header: reading stops there
  std::string broken_record = whole;  // the first entry's FileCount beyond what it holds: the entry is passed over
  const std::string huge_count("\xFF\xFF\xFF\x7F", 4);
  broken_record.replace(first - 1 + 18 + 2 + P("data/").size(), 4, huge_count);
  const Case cases[] = {
      {"whole", whole, "2 entries from " + s + ": 0 keys, 0 values, 4 files (18 bytes)", ""},
      {"an entry header broken", broken_chain, "1 entries from " + s + ": 0 keys, 0 values, 2 files (9 bytes)",
       damaged},
      {"a record broken", broken_record, "2 entries from " + s + ": 0 keys, 0 values, 2 files (9 bytes)", damaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::WriteFileBytes(s, c.bytes);
    fs::remove_all(root_ / "data");
    ToolRun run = Ctl({"store", "playback", s});
    EXPECT_EQ(run.exit_code, c.err.empty() ? 0 : 1);
    EXPECT_EQ(run.out, "played back " + c.out_counts + ", 0 structs\n");
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(testing_support::ReadFileBytes(root_ / "data/a.txt"), "alpha");
  }

  // A file that is refused (a link in its place) is said, and exits 1.
  fs::remove(root_ / "data/b.txt");
  fs::create_symlink(root_ / "elsewhere", root_ / "data/b.txt");
  testing_support::WriteFileBytes(s, broken_chain);
  ToolRun run = Ctl({"store", "playback", s});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, damaged +
                         "hearthctl store playback: 1 files refused: a symbolic link in the way or an unsafe name "
                         "(see the system log)\n");
  EXPECT_FALSE(fs::exists(root_ / "elsewhere"));
}

TEST_F(HearthctlStoreTest, PlaybackToAFolderWritesNothingOutsideIt) {
  testing_support::WriteFileBytes(root_ / "data/a.txt", "alpha");
  testing_support::WriteFileBytes(root_ / "data/sub/b.txt", "beta");
  ASSERT_EQ(Ctl({"reg", "set", "HKLM\\SOFTWARE\\StoreTo", "v", "hi"}).exit_code, 0);
  const std::string s = P("s.bin");
  ASSERT_EQ(Ctl({"store", "create", s, "--compress"}).exit_code, 0);
  ASSERT_EQ(Ctl({"store", "add-files", s, P("data"), "--recurse"}).exit_code, 0);
  ASSERT_EQ(Ctl({"store", "add-key", s, "HKLM\\SOFTWARE\\StoreTo"}).exit_code, 0);
  ASSERT_EQ(Ctl({"store", "finalize", s}).exit_code, 0);
  fs::remove_all(root_ / "data");
  ASSERT_EQ(Ctl({"reg", "delete", "HKLM\\SOFTWARE\\StoreTo"}).exit_code, 0);
  const fs::path jailed = P("jail") + P("data");  // where the stored folder goes below the jail

  ToolRun run = Ctl({"store", "playback", s, "--to", P("jail")});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "played back 2 entries from " + s + ": 0 keys, 0 values, 2 files (9 bytes), 0 structs, below " +
                         P("jail") + " (1 registry entries and large files left out)\n");
  EXPECT_EQ(testing_support::ReadFileBytes(jailed / "a.txt"), "alpha");
  EXPECT_EQ(testing_support::ReadFileBytes(jailed / "sub/b.txt"), "beta");
  EXPECT_FALSE(fs::exists(root_ / "data"));
  EXPECT_NE(Ctl({"reg", "get", "HKLM\\SOFTWARE\\StoreTo", "v"}).exit_code, 0);

  // A link below the jail is refused, never followed out of it.
  fs::remove_all(jailed / "sub");
  fs::create_directories(root_ / "elsewhere");
  fs::create_symlink(root_ / "elsewhere", jailed / "sub");
  run = Ctl({"store", "playback", s, "--to", P("jail")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            "hearthctl store playback: 1 files refused: a symbolic link in the way or an unsafe name (see the "
            "system log)\n");
  EXPECT_TRUE(fs::is_empty(root_ / "elsewhere"));

  EXPECT_EQ(Ctl({"store", "playback", s, "--to", ""}).exit_code, 2);
  run = Ctl({"store", "playback", "--help"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find("STORE [--to DIR] [--structs-to DIR]"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("nothing it holds is written outside DIR"), std::string::npos) << run.out;
}

}  // namespace
