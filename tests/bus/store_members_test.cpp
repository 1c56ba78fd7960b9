// Store files on the bus (cFileMgr at /com/norvale/Hearth/FileMgr): a folder
// backed up with progress, listed, played back where it came from and below
// another folder; one operation at a time; root only.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "bus/bus_service.h"
#include "private_bus.h"
#include "store/file_manager.h"
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
  // Its last progress keeps the measure of the ones before: the store's
  // bytes, all read, and the files written.
  const std::string played = monitor.Seen();
  const size_t last = played.rfind(".StoreProgress (2, 'playback', ");
  ASSERT_NE(last, std::string::npos) << played;
  std::smatch counts;
  const std::string line = played.substr(last, played.find('\n', last) - last);
  ASSERT_TRUE(std::regex_search(line, counts, std::regex(R"(int64 (\d+), int64 (\d+), int64 3, int64 0\))"))) << line;
  EXPECT_EQ(counts[1], counts[2]) << line;
  EXPECT_NE(counts[2], "0") << line;

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

TEST_F(StoreMembersTest, ABackupCopiesALargeFileAndNeverMovesItOutOfTheFolder) {
  const fs::path data = bus_.root() / "data";
  const std::string large(10'000'000, 'L');  // the file manager's own limit for moving a file aside
  WriteFile(data / "large.bin", large);
  Monitor monitor(bus_);
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), "l.store", "false", "false"}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (1,")) << monitor.Seen();
  EXPECT_NE(monitor.Seen().find("'complete', 'stored 1 files (10000000 bytes) from " + data.string()),
            std::string::npos)
      << monitor.Seen();
  EXPECT_EQ(testing_support::ReadFileBytes(data / "large.bin"), large) << "the source stays where it was";

  fs::remove_all(data);
  ASSERT_EQ(Call("PlayBackStoreFile", {"ss", "l.store", ""}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (2,")) << monitor.Seen();
  EXPECT_EQ(testing_support::ReadFileBytes(data / "large.bin"), large) << "and comes back from the store";
}

TEST_F(StoreMembersTest, BadArgumentsAreRefusedWithTheReason) {
  const fs::path data = bus_.root() / "data";
  MakeTestFolder(data);
  WriteFile(bus_.root() / "backups/old.store", "an earlier backup");
  fs::create_directory_symlink(data, bus_.root() / "to-data");
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
      {"BackupFolder", {"ssbb", data.string(), root + "/to-data/in.store", "true", "false"},
       "the store file " + root + "/to-data/in.store cannot be inside the folder it stores"},
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
  EXPECT_FALSE(fs::exists(data / "in.store"));
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
  bus::BusOptions options;
  options.address = bus.address();
  options.store_job_hook = [&](const std::string&) {
    entered.Open();
    release.Wait();
  };
  auto on_bus = bus::BusService::Start(toolkit.ServiceApartment(), [&toolkit] { return toolkit.RegisteredObject(); },
                                       std::move(options));
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

// hearthd's own parts in this process, with the stop's "closing" flag, so a
// test can hold a store job at its start and stop the service under it.
class StoreMembersInProcessTest : public testing_support::RootedTest {
 protected:
  void Start(std::function<void(const std::string&)> job_hook) {
    toolkit_ = std::make_unique<service::ServiceToolkit>(std::make_shared<service::Service>());
    toolkit_->SetStopBeginsHook([closing = closing_](bool stopping) { closing->store(stopping); });
    toolkit_->Start();
    bus::BusOptions options;
    options.address = bus_.address();
    options.closing = closing_;
    options.store_job_hook = std::move(job_hook);
    on_bus_ = bus::BusService::Start(toolkit_->ServiceApartment(), [this] { return toolkit_->RegisteredObject(); },
                                     std::move(options));
    ASSERT_TRUE(bus_.WaitForName());
  }
  // The service's own stop, as hearthd's host runs it: the bus goes after.
  bool StopService() {
    if (stopped_) return true;
    stopped_ = true;
    toolkit_->Deliver({service::control::RequestKind::kStop, 0});
    return toolkit_->WaitForEnd(10s);
  }
  void TearDown() override {
    if (toolkit_) {
      on_bus_.reset();
      EXPECT_TRUE(StopService());
    }
    RootedTest::TearDown();
  }
  Finished Call(const std::string& member, const std::vector<std::string>& args) {
    return bus_.Call(kPath, kIface, member, args);
  }

  PrivateBus bus_;
  std::shared_ptr<std::atomic<bool>> closing_ = std::make_shared<std::atomic<bool>>(false);
  std::unique_ptr<service::ServiceToolkit> toolkit_;
  std::unique_ptr<bus::BusService> on_bus_;
  bool stopped_ = false;
};

TEST_F(StoreMembersInProcessTest, AStopDuringABackupEndsItRemovesWhatWasWrittenAndSaysSo) {
  const fs::path data = root_ / "data";
  MakeTestFolder(data);
  service::Gate entered, release;
  Start([&](const std::string&) {
    entered.Open();
    release.Wait();
  });
  Monitor monitor(bus_);
  const std::string store = (root_ / "d.store").string();
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), store, "true", "false"}).exit_code, 0);
  entered.Wait();  // the backup holds the store thread

  ASSERT_TRUE(StopService()) << "the stop does not wait for the backup";
  // The stop has begun: no new store work.
  Finished refused = Call("BackupFolder", {"ssbb", data.string(), (root_ / "e.store").string(), "true", "false"});
  EXPECT_EQ(refused.err, "Call failed: the service is stopping\n");

  release.Open();
  ASSERT_TRUE(monitor.WaitFor("StoreFinished")) << monitor.Seen();
  EXPECT_NE(monitor.Seen().find(".StoreFinished (1, 'backup', '" + store + "', 'not written', 'the backup of " +
                                data.string() + " into " + store +
                                " was stopped before its end because the service is stopping; the part written "
                                "was removed', 0, 0, int64 0, 0, 0)"),
            std::string::npos)
      << monitor.Seen();
  EXPECT_FALSE(fs::exists(store)) << "no partial store is left to look like a backup";
  ExpectTestFolder(data);
}

TEST_F(StoreMembersInProcessTest, TheBusLeavingDuringAPlaybackEndsItAndItsCallerHearsHowBeforeTheNameGoes) {
  const fs::path data = root_ / "data";
  MakeTestFolder(data);
  service::Gate entered, release;
  std::atomic<int> jobs{0};
  Start([&](const std::string&) {
    if (++jobs < 2) return;  // the backup runs; the playback is held
    entered.Open();
    release.Wait();
  });
  Monitor monitor(bus_);
  const std::string store = (root_ / "p.store").string();
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), store, "true", "false"}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (")) << monitor.Seen();
  fs::remove_all(data);
  ASSERT_EQ(Call("PlayBackStoreFile", {"ss", store, ""}).exit_code, 0);
  entered.Wait();
  std::thread leave([&] { on_bus_.reset(); });
  release.Open();
  leave.join();
  monitor.WaitFor("'playback', '" + store + "'");
  const std::string seen = monitor.Seen();
  const size_t at = seen.find("'playback', '" + store + "'");
  ASSERT_NE(at, std::string::npos) << "the playback's StoreFinished went out before the bus closed: " << seen;
  EXPECT_NE(seen.find("playback ended early: the service is stopping", at), std::string::npos) << seen;
  EXPECT_FALSE(fs::exists(data / "a.txt")) << "nothing was written after the stop was asked for";
}

TEST_F(StoreMembersInProcessTest, AJobThatFailsStillEndsWithStoreFinishedAndTheWorkServesOn) {
  const fs::path data = root_ / "data";
  MakeTestFolder(data);
  std::atomic<int> jobs{0};
  Start([&](const std::string&) {
    if (++jobs == 1) throw std::runtime_error("out of memory");
  });
  Monitor monitor(bus_);
  const std::string store = (root_ / "f.store").string();
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), store, "true", "false"}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor("StoreFinished")) << monitor.Seen();
  EXPECT_NE(monitor.Seen().find(".StoreFinished (1, 'backup', '" + store + "', 'not written', 'the backup of " +
                                data.string() + " into " + store +
                                " failed: out of memory (see the system log)', 0, 0, int64 0, 0, 1)"),
            std::string::npos)
      << monitor.Seen();
  Finished again = Call("BackupFolder", {"ssbb", data.string(), store, "true", "false"});
  EXPECT_EQ(again.exit_code, 0) << again.err;
  ASSERT_TRUE(monitor.WaitFor(".StoreFinished (2,")) << monitor.Seen();
  EXPECT_NE(monitor.Seen().find("'complete', 'stored 3 files"), std::string::npos) << monitor.Seen();
}

TEST_F(StoreMembersInProcessTest, AStoreTakesItsNameOnlyOnceItIsWhole) {
  const fs::path data = root_ / "data";
  MakeTestFolder(data);
  const fs::path store = root_ / "w.store", work = root_ / "w.store.partial";
  // Looked at while the finished body is compressed, the last step before
  // the store is whole: a service killed there must not leave "w.store".
  std::atomic<bool> looked{false}, named{true}, working{false};
  store::SetChunkHookForTesting([&](int32_t) {
    if (looked.exchange(true)) return;
    named = fs::exists(store);
    working = fs::exists(work);
  });
  Start({});
  Monitor monitor(bus_);
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), store.string(), "true", "true"}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor("StoreFinished")) << monitor.Seen();
  EXPECT_NE(monitor.Seen().find("'complete'"), std::string::npos) << monitor.Seen();
  on_bus_.reset();  // the store thread has ended: the hook is the test's again
  store::SetChunkHookForTesting(nullptr);
  ASSERT_TRUE(looked);
  EXPECT_FALSE(named) << "the store's own name is taken only when it is whole";
  EXPECT_TRUE(working);
  EXPECT_TRUE(fs::exists(store));
  EXPECT_FALSE(fs::exists(work));
}

TEST_F(StoreMembersInProcessTest, AFolderThatFillsSeveralEntriesIsAWholeBackupNotARemovedOne) {
  const fs::path data = root_ / "data";
  for (const char* name : {"1", "2", "3"}) WriteFile(data / name, std::string(30000, name[0]));
  store::SetEntryLimitForTesting(40000);  // one file per entry
  Start({});
  Monitor monitor(bus_);
  const std::string store = (root_ / "e.store").string();
  ASSERT_EQ(Call("BackupFolder", {"ssbb", data.string(), store, "false", "true"}).exit_code, 0);
  ASSERT_TRUE(monitor.WaitFor("StoreFinished")) << monitor.Seen();
  store::SetEntryLimitForTesting(0);
  EXPECT_NE(monitor.Seen().find(".StoreFinished (1, 'backup', '" + store + "', 'complete', 'stored 3 files (90000 " +
                                "bytes) from " + data.string() + " in " + store + "', 3, 3, int64 90000, 0, 0)"),
            std::string::npos)
      << monitor.Seen();
  Finished listed = Call("ListStoreFile", {"s", store});
  EXPECT_NE(listed.out.find(" 3 " + std::to_string(fs::file_size(store)) + " true 3 "), std::string::npos)
      << listed.out;
}

}  // namespace
}  // namespace bus_test
