// Several threads and several processes on one hive, and a writer killed in
// the middle of its writes.
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry/hive_changes.h"
#include "platform/registry/registry_helpers.h"
#include "registry_fixture.h"
#include "testing/child_process.h"

namespace platform::registry {
namespace {

class ConcurrencyTest : public RegistryTest {
 protected:
  void TearDown() override {
    SetHiveLookIntervalForTesting(std::chrono::seconds(1));
    RegistryTest::TearDown();
  }
};

// With no look at the file due by time, what another process (its own
// connection, its own caches) writes or deletes is seen at once: each of its
// commits moves the shared change counter.
TEST_F(ConcurrencyTest, AnotherProcessesCommitsAreSeenWithoutWaitingForTheLookInterval) {
  SetHiveLookIntervalForTesting(std::chrono::hours(1));
  HKEY key = Create("Watched");
  HKEY doomed = Create("Watched\\Doomed");
  ASSERT_EQ(SetString(key, "v", "first"), kErrorSuccess);
  EXPECT_EQ(Query(key, "v"), std::string("first\0", 6));  // cached from here on
  EXPECT_EQ(Query(key, "added"), "<code 2>");
  EXPECT_EQ(Query(doomed, "x"), "<code 2>");

  // A separate program: it opens its own connection and sets, adds, deletes.
  auto in_other_process = [](const std::function<LONG()>& write) {
    return testing_support::RunInChild([&] {
      ResetHiveForTesting();
      return write() == kErrorSuccess ? 0 : 1;
    });
  };
  ASSERT_EQ(in_other_process([] { return WriteStringValue(kHkeyLocalMachine, "Watched", "v", "second"); }), 0);
  EXPECT_EQ(Query(key, "v"), std::string("second\0", 7));
  ASSERT_EQ(in_other_process([] { return WriteStringValue(kHkeyLocalMachine, "Watched", "added", "new"); }), 0);
  EXPECT_EQ(Query(key, "added"), std::string("new\0", 4));
  ASSERT_EQ(in_other_process([] { return RegDeleteKeyA(kHkeyLocalMachine, "Watched\\Doomed"); }), 0);
  EXPECT_EQ(Query(doomed, "x"), "<code 1018>");
  ASSERT_EQ(in_other_process([] { return DeleteValue(kHkeyLocalMachine, "Watched", "v"); }), 0);
  EXPECT_EQ(Query(key, "v"), "<code 2>");

  // This process's own writes do not make it look again, nor hide the others'.
  ASSERT_EQ(SetString(key, "mine", "1"), kErrorSuccess);
  ASSERT_EQ(in_other_process([] { return WriteStringValue(kHkeyLocalMachine, "Watched", "mine", "2"); }), 0);
  EXPECT_EQ(Query(key, "mine"), std::string("2\0", 2));
  RegCloseKey(doomed);
  RegCloseKey(key);
}

TEST_F(ConcurrencyTest, AValueWrittenByOneProcessIsReadByAnother) {
  HKEY key = Create("Shared");
  ASSERT_EQ(SetString(key, "v", "parent"), kErrorSuccess);
  HKEY doomed = Create("Shared\\Doomed");
  EXPECT_EQ(Query(key, "fromchild"), "<code 2>");  // the absence is cached now
  EXPECT_EQ(ValueNames(key), std::vector<std::string>{"v"});  // and so is the enumeration
  EXPECT_EQ(Subkeys(key), std::vector<std::string>{"Doomed"});

  int code = testing_support::RunInChild([&] {
    // The child inherited the parent's handle and its cache.
    if (Query(key, "v") != std::string("parent\0", 7)) return 10;
    if (SetString(key, "fromchild", "child") != kErrorSuccess) return 11;
    if (SetString(key, "v", "changed") != kErrorSuccess) return 12;
    if (RegDeleteKeyA(key, "Doomed") != kErrorSuccess) return 13;
    return 0;
  });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(Query(key, "fromchild"), std::string("child\0", 6));
  EXPECT_EQ(Query(key, "v"), std::string("changed\0", 8));
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"v", "fromchild"}));
  EXPECT_TRUE(Subkeys(key).empty());
  EXPECT_EQ(SetString(doomed, "x", "y"), kErrorKeyDeleted);
  HKEY reopened = 0;
  EXPECT_EQ(RegOpenKeyExA(key, "Doomed", 0, kKeyRead, &reopened), kErrorFileNotFound);
  RegCloseKey(doomed);
  RegCloseKey(key);
}

// A value this process believes is there may be gone through a change
// nobody announced (a writer killed between its commit and its bump): a
// write to it must still land.
TEST_F(ConcurrencyTest, AValueGoneWithoutAnnouncementIsWrittenAnew) {
  SetHiveLookIntervalForTesting(std::chrono::hours(1));
  HKEY key = Create("Quiet");
  ASSERT_EQ(SetString(key, "v", "first"), kErrorSuccess);
  ASSERT_EQ(SetString(key, "w", "other"), kErrorSuccess);
  ASSERT_EQ(testing_support::RunInChild([this] {
              sqlite3* db = nullptr;
              int rc = sqlite3_open((root_ / "registry.db").c_str(), &db);
              if (rc == SQLITE_OK) rc = sqlite3_exec(db, "DELETE FROM hive_values", nullptr, nullptr, nullptr);
              sqlite3_close(db);
              return rc == SQLITE_OK ? 0 : 1;
            }),
            0);
  ASSERT_EQ(SetString(key, "v", "second"), kErrorSuccess);
  RegCloseKey(key);
  ResetHiveForTesting();  // reads the file afresh
  key = Open("Quiet", kKeyRead);
  EXPECT_EQ(Query(key, "v"), std::string("second\0", 7));
  EXPECT_EQ(Query(key, "w"), "<code 2>");
  RegCloseKey(key);
}

TEST_F(ConcurrencyTest, ProcessesWritingAtOnceLoseNothing) {
  constexpr int kWriters = 3;
  constexpr int kWrites = 150;
  ResetHiveForTesting();  // every child opens its own connection
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    children.push_back(testing_support::StartChild([w] {
      std::string path = "Race\\W" + std::to_string(w);
      for (int i = 0; i < kWrites; ++i) {
        if (WriteDwordValue(kHkeyLocalMachine, "Race", "w" + std::to_string(w) + "_" + std::to_string(i), i) !=
            kErrorSuccess) {
          return 20;
        }
        if (CreateKey(kHkeyLocalMachine, path + "\\K" + std::to_string(i)) != kErrorSuccess) return 21;
      }
      return 0;
    }));
  }
  for (pid_t child : children) EXPECT_EQ(testing_support::WaitChild(child), 0);
  std::vector<RegValue> values;
  ASSERT_EQ(ListValues(kHkeyLocalMachine, "Race", &values), kErrorSuccess);
  EXPECT_EQ(values.size(), static_cast<size_t>(kWriters * kWrites));
  for (int w = 0; w < kWriters; ++w) {
    std::vector<std::string> names;
    ASSERT_EQ(ListSubkeys(kHkeyLocalMachine, "Race\\W" + std::to_string(w), &names), kErrorSuccess);
    EXPECT_EQ(names.size(), static_cast<size_t>(kWrites));
    EXPECT_EQ(ReadDwordValue(kHkeyLocalMachine, "Race", "w" + std::to_string(w) + "_" + std::to_string(kWrites - 1)),
              static_cast<uint32_t>(kWrites - 1));
  }
}

TEST_F(ConcurrencyTest, AKilledWriterLeavesEveryAcknowledgedWrite) {
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  ResetHiveForTesting();
  pid_t child = testing_support::StartChild([&] {
    close(pipe_fds[0]);
    HKEY key = 0;
    if (RegCreateKeyExA(kHkeyLocalMachine, "Crash", 0, nullptr, 0, kKeyAllAccess, nullptr, &key, nullptr) != 0) {
      return 30;
    }
    for (uint32_t i = 0;; ++i) {
      std::string name = "n" + std::to_string(i);
      if (RegSetValueExA(key, name.c_str(), 0, kRegDword, reinterpret_cast<const BYTE*>(&i), 4) != 0) return 31;
      if (i % 7 == 0) {  // some keys too, so both tables see writes cut short
        HKEY sub = 0;
        if (RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, kKeyRead, nullptr, &sub, nullptr) != 0) return 32;
        RegCloseKey(sub);
      }
      if (write(pipe_fds[1], &i, sizeof(i)) != static_cast<ssize_t>(sizeof(i))) return 33;
    }
  });
  close(pipe_fds[1]);
  uint32_t last = 0;
  bool any = false;
  for (int seen = 0; seen < 400; ++seen) {
    ASSERT_EQ(read(pipe_fds[0], &last, sizeof(last)), static_cast<ssize_t>(sizeof(last)));
    any = true;
  }
  kill(child, SIGKILL);
  uint32_t more = 0;
  while (read(pipe_fds[0], &more, sizeof(more)) == static_cast<ssize_t>(sizeof(more))) last = more;
  close(pipe_fds[0]);
  EXPECT_EQ(testing_support::WaitChild(child), 128 + SIGKILL);
  ASSERT_TRUE(any);

  ResetHiveForTesting();  // open afresh: the check runs on what the child left
  HKEY key = Open("Crash", kKeyRead);
  for (uint32_t i = 0; i <= last; ++i) {
    std::string name = "n" + std::to_string(i);
    ASSERT_EQ(Query(key, name.c_str()), std::string(reinterpret_cast<const char*>(&i), 4)) << name;
    if (i % 7 == 0) {
      HKEY sub = 0;
      ASSERT_EQ(RegOpenKeyExA(key, name.c_str(), 0, kKeyRead, &sub), kErrorSuccess) << name;
      RegCloseKey(sub);
    }
  }
  RegCloseKey(key);
  EXPECT_TRUE(Diagnostics().empty()) << Diagnostics().front();
}

TEST_F(ConcurrencyTest, ThreadsShareTheHive) {
  constexpr int kThreads = 4;
  constexpr int kWrites = 100;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      std::string path = "Threads\\T" + std::to_string(t);
      HKEY key = 0;
      if (RegCreateKeyExA(kHkeyLocalMachine, path.c_str(), 0, nullptr, 0, kKeyAllAccess, nullptr, &key, nullptr)) {
        ++failures[t];
        return;
      }
      for (int i = 0; i < kWrites; ++i) {
        std::string text = std::to_string(t * 1000 + i);
        if (SetString(key, "v", text) != kErrorSuccess) ++failures[t];
        if (Query(key, "v") != text + '\0') ++failures[t];
        if (SetString(key, ("n" + std::to_string(i)).c_str(), text) != kErrorSuccess) ++failures[t];
        HKEY parent = 0;
        if (RegOpenKeyExA(kHkeyLocalMachine, "Threads", 0, kKeyRead, &parent) != kErrorSuccess) ++failures[t];
        RegCloseKey(parent);
      }
      RegCloseKey(key);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  HKEY parent = Open("Threads", kKeyRead);
  EXPECT_EQ(Subkeys(parent).size(), static_cast<size_t>(kThreads));
  RegCloseKey(parent);
}

}  // namespace
}  // namespace platform::registry
