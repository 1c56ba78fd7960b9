// Store files on the bus (cFileMgr at /com/norvale/Hearth/FileMgr): a folder
// backed up with progress, listed, played back where it came from and below
// another folder; one operation at a time; root only.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bus/bus_service.h"
#include "private_bus.h"
#include "service/host/service_toolkit.h"
#include "service/lifecycle/test_host.h"
#include "testing/rooted/rooted_test.h"
#include "testing/temp_root.h"

namespace bus_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr char kPath[] = "/com/norvale/Hearth/FileMgr";
constexpr char kIface[] = "com.norvale.Hearth.cFileMgr";
constexpr uid_t kNobody = 65534;

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of three files, one in a subfolder, one empty.
void MakeTestFolder(const fs::path& folder) {
  WriteFile(folder / "a.txt", "alpha");
  WriteFile(folder / "sub/b.bin", std::string(70000, 'b'));
  WriteFile(folder / "empty", "");
}

void ExpectTestFolder(const fs::path& folder) {
  EXPECT_EQ(testing_support::ReadFileBytes(folder / "a.txt"), "alpha");
  EXPECT_EQ(testing_support::ReadFileBytes(folder / "sub/b.bin"), std::string(70000, 'b'));
  EXPECT_TRUE(fs::exists(folder / "empty"));
  EXPECT_EQ(fs::file_size(folder / "empty"), 0u);
}

// gdbus monitor on the service, and what it printed.
class Monitor {
 public:
  explicit Monitor(PrivateBus& bus) : bus_(bus) {
    process_ = bus.Spawn({"gdbus", "monitor", "--system", "--dest", "com.norvale.Hearth"}, "monitor");
    EXPECT_TRUE(WaitFor("owned by")) << "the monitor is listening";
  }
  ~Monitor() {
    process_->Signal(SIGTERM);
    process_->Wait();
  }
  std::string Seen() const { return testing_support::ReadFileBytes(bus_.folder() / "monitor.out"); }
  // The monitor prints as signals come; the service has sent them already.
  bool WaitFor(const std::string& text) const {
    for (int i = 0; i < 3000; ++i) {
      if (Seen().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

 private:
  PrivateBus& bus_;
  std::unique_ptr<Process> process_;
};

class StoreMembersTest : public ::testing::Test {
 protected:
  void SetUp() override { bus_.StartService(); }
  Finished Call(const std::string& member, const std::vector<std::string>& args, uid_t uid = 0) {
    return bus_.Call(kPath, kIface, member, args, uid);
  }
  PrivateBus bus_;
};

TEST_F(StoreMembersTest, AFolderIsBackedUpWithProgressListedAndPlayedBackWhereItCameFromAndBelowAnother) {
  const fs::path data = bus_.root() / "data";
  MakeTestFolder(data);
  const std::string store = (bus_.root() / "backups/data.store").string();
  Monitor monitor(bus_);

  Finished started = Call("BackupFolder", {"ssbb", data.string(), "data.store", "true", "true"});
  ASSERT_EQ(started.exit_code, 0) << started.err;
  EXPECT_EQ(started.out, "is 1 \"" + store + "\"\n") << "a bare name goes to the root's backups folder";
  ASSERT_TRUE(monitor.WaitFor("StoreFinished")) << monitor.Seen();
  std::string seen = monitor.Seen();
  EXPECT_NE(seen.find(".StoreProgress (1, 'backup', int64 0, int64 70005, int64 0, int64 3)"), std::string::npos)
      << "the totals come first: " << seen;
  EXPECT_NE(seen.find(".StoreProgress (1, 'backup', int64 70005, int64 70005, int64 3, int64 3)"), std::string::npos)
      << seen;
  EXPECT_NE(seen.find(".StoreFinished (1, 'backup', '" + store + "', 'complete', 'stored 3 files (70005 bytes) from " +
                      data.string() + " in " + store + "', 1, 3, int64 70005, 0, 0)"),
            std::string::npos)
      << seen;
  EXPECT_LT(seen.find("StoreProgress"), seen.find("StoreFinished"));

  Finished listed = Call("ListStoreFile", {"s", "data.store"});
  ASSERT_EQ(listed.exit_code, 0) << listed.err;
  const std::string size = std::to_string(fs::file_size(store));
  // The entry's body: two folder records (the folder's path, a count), a
  // record per file (its folder below, its name, 18 bytes of fields) and
  // the files' bytes.
  const size_t body = 2 * (2 + (data.string() + "/").size() + 4) + (2 + 0 + 2 + 5 + 18) + (2 + 0 + 2 + 5 + 18) +
                      (2 + 4 + 2 + 5 + 18) + 70005;
  EXPECT_EQ(listed.out, "ssixba(isis)s \"" + store + "\" \"hearth\" 1 " + size + " true 1 1 \"files\" " +
                            std::to_string(body) + " \"files from " + data.string() +
                            "/: 3 files in 2 folders, 70005 bytes\" \"\"\n");

  fs::remove_all(data);
  ASSERT_EQ(Call("PlayBackStoreFile", {"ss", store, ""}).out, "i 2\n");
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (2,")) << monitor.Seen();
  ExpectTestFolder(data);
  EXPECT_NE(monitor.Seen().find(".StoreFinished (2, 'playback', '" + store + "', 'complete', 'played back 1 entries from " +
                                store + ": 3 files (70005 bytes), 0 keys, 0 values, 0 structs', 1, 3, int64 70005, 0, 0)"),
            std::string::npos)
      << monitor.Seen();

  const fs::path below = bus_.root() / "restored";
  ASSERT_EQ(Call("PlayBackStoreFile", {"ss", "data.store", below.string()}).out, "i 3\n");
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (3,")) << monitor.Seen();
  ExpectTestFolder(below / data.relative_path());
  EXPECT_NE(monitor.Seen().find("0 structs, below " + below.string() + "', 1, 3, int64 70005, 0, 0)"), std::string::npos)
      << monitor.Seen();
}

TEST_F(StoreMembersTest, APlaybackThatSkipsAndFailsSaysSoWithCounts) {
  const fs::path data = bus_.root() / "data";
  MakeTestFolder(data);
  Monitor monitor(bus_);
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), "s", "true", "false"}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (1,")) << monitor.Seen();
  // A link where a stored folder goes: playback refuses to write through it.
  fs::remove_all(data / "sub");
  fs::create_directories(bus_.root() / "elsewhere");
  fs::create_directory_symlink(bus_.root() / "elsewhere", data / "sub");
  ASSERT_EQ(Call("PlayBackStoreFile", {"ss", "s", ""}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (2,")) << monitor.Seen();
  const std::string seen = monitor.Seen();
  const size_t at = seen.find(".StoreFinished (2,");
  const std::string line = seen.substr(at, seen.find('\n', at) - at);
  EXPECT_NE(line.find("'file failures'"), std::string::npos) << line;
  EXPECT_NE(line.find("1 files refused: a symbolic link in the way or an unsafe name"), std::string::npos) << line;
  EXPECT_TRUE(fs::is_empty(bus_.root() / "elsewhere")) << "nothing written through the link";
}

TEST_F(StoreMembersTest, BadArgumentsAreRefusedWithTheReason) {
  const fs::path data = bus_.root() / "data";
  MakeTestFolder(data);
  WriteFile(bus_.root() / "backups/old.store", "an earlier backup");
  struct Case {
    std::string member;
    std::vector<std::string> args;
    std::string error;
  };
  const std::string root = bus_.root().string();
  const std::vector<Case> cases = {
      {"BackupFolder", {"ssbb", "data", "x", "true", "false"}, "the folder must be a path from /"},
      {"BackupFolder", {"ssbb", root + "/missing", "x", "true", "false"}, "no folder " + root + "/missing"},
      {"BackupFolder", {"ssbb", data.string(), "../x", "true", "false"},
       "\"../x\" is no store file: give a path from / or a file name for " + root + "/backups"},
      {"BackupFolder", {"ssbb", data.string(), data.string() + "/in.store", "true", "false"},
       "the store file " + data.string() + "/in.store cannot be inside the folder it stores"},
      {"BackupFolder", {"ssbb", data.string(), "old.store", "true", "false"},
       "the store file " + root + "/backups/old.store exists already: choose another name"},
      {"BackupFolder", {"ssbb", data.string(), root + "/nowhere/x.store", "true", "false"},
       "no folder " + root + "/nowhere for the store file"},
      {"PlayBackStoreFile", {"ss", "never.store", ""}, "no store file " + root + "/backups/never.store"},
      {"PlayBackStoreFile", {"ss", "old.store", "relative"}, "the folder to play back below must be a path from /"},
      {"ListStoreFile", {"s", "never.store"}, "no store file " + root + "/backups/never.store"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.member + " " + c.args[1]);
    Finished f = Call(c.member, c.args);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_EQ(f.err, "Call failed: " + c.error + "\n");
  }
  EXPECT_EQ(testing_support::ReadFileBytes(bus_.root() / "backups/old.store"), "an earlier backup");
  Finished listed = Call("ListStoreFile", {"s", "old.store"});
  EXPECT_EQ(listed.err, "Call failed: " + root + "/backups/old.store: too short to be a store file\n");
}

TEST(StoreMembersAccessTest, OnlyRootMayBackUpListOrPlayBackAndOthersHearWhy) {
  // A mistaken policy lets everyone through to the service: its own check
  // refuses, with the reason.
  PrivateBus bus(Policy::kOpen);
  bus.StartService();
  const std::string root = bus.root().string();
  struct Case {
    std::string member;
    std::vector<std::string> args;
    std::string why;
  };
  for (const Case& c : std::vector<Case>{
           {"BackupFolder", {"'/'", "'x'", "true", "false"}, "it reads any file as root"},
           {"ListStoreFile", {"'x'"}, "it reads any file as root"},
           {"PlayBackStoreFile", {"'x'", "''"}, "it writes files anywhere as root"},
       }) {
    // gdbus shows the error's text (busctl only its name).
    std::vector<std::string> argv = {"gdbus", "call", "--system", "--dest", "com.norvale.Hearth", "--object-path",
                                     kPath, "--method", std::string(kIface) + "." + c.member};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    Finished f = bus.Run(argv, kNobody);
    EXPECT_NE(f.exit_code, 0);
    EXPECT_NE(f.err.find("org.freedesktop.DBus.Error.AccessDenied: only root may call " + c.member + ": " + c.why),
              std::string::npos)
        << f.err;
    EXPECT_EQ(bus.LogLines("Bus: access denied to uid 65534 calling com.norvale.Hearth.cFileMgr." + c.member).size(),
              1u);
  }
  EXPECT_FALSE(fs::exists(bus.root() / "backups/x"));
}

class StoreMembersBusyTest : public testing_support::RootedTest {};

TEST_F(StoreMembersBusyTest, ASecondOperationWhileOneRunsIsRefusedAsBusyAndTheFirstEndsWhole) {
  PrivateBus bus;
  const fs::path data = root_ / "data";
  MakeTestFolder(data);
  auto service = std::make_shared<service::Service>();
  service::ServiceToolkit toolkit(service);
  toolkit.Start();
  service::Gate entered, release;
  auto on_bus = bus::BusService::Start(toolkit.ServiceApartment(), [&toolkit] { return toolkit.RegisteredObject(); },
                                       bus::BusOptions{.address = bus.address(),
                                                       .store_job_hook = [&](const std::string&) {
                                                         entered.Open();
                                                         release.Wait();
                                                       }});
  ASSERT_TRUE(bus.WaitForName());
  Monitor monitor(bus);
  const std::string store = (root_ / "d.store").string(), other = (root_ / "other.store").string();
  WriteFile(other, "a store that is there");
  ASSERT_EQ(bus.Call(kPath, kIface, "BackupFolder", {"ssbb", data.string(), store, "true", "false"}).exit_code, 0);
  entered.Wait();  // the backup holds the store thread

  for (const std::vector<std::string>& call : std::vector<std::vector<std::string>>{
           {"BackupFolder", "ssbb", data.string(), (root_ / "e.store").string(), "true", "false"},
           {"PlayBackStoreFile", "ss", other, ""},
           {"ListStoreFile", "s", other},
       }) {
    Finished f = bus.Call(kPath, kIface, call[0], {call.begin() + 1, call.end()});
    EXPECT_NE(f.exit_code, 0) << call[0];
    EXPECT_EQ(f.err, "Call failed: busy: the backup of " + data.string() + " into " + store +
                         " runs; one store operation at a time, try again when it has finished\n");
  }
  release.Open();
  ASSERT_TRUE(monitor.WaitFor("StoreFinished")) << monitor.Seen();
  EXPECT_NE(monitor.Seen().find("'complete', 'stored 3 files (70005 bytes)"), std::string::npos) << monitor.Seen();
  EXPECT_FALSE(fs::exists(root_ / "e.store"));
  // Idle again: the next operation runs.
  Finished listed = bus.Call(kPath, kIface, "ListStoreFile", {"s", store});
  EXPECT_EQ(listed.exit_code, 0) << listed.err;
  on_bus.reset();
  toolkit.Deliver({service::control::RequestKind::kStop, 0});
  EXPECT_TRUE(toolkit.WaitForEnd(10s));
}

}  // namespace
}  // namespace bus_test
