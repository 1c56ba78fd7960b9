// Another process moves the hive aside (it found it damaged) and starts a new
// one under the same name: every process still connected turns to the new
// file, and no handle survives into it, where its number would name another
// key.
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "platform/registry/hive.h"
#include "platform/registry/hive_changes.h"
#include "platform/registry/registry_helpers.h"
#include "registry_fixture.h"
#include "testing/child_process.h"

namespace platform::registry {
namespace {

namespace fs = std::filesystem;

class MovedHiveTest : public RegistryTest {
 protected:
  void TearDown() override {
    SetHiveLookIntervalForTesting(std::chrono::seconds(1));
    RegistryTest::TearDown();
  }
  // What another process does when it finds the hive damaged: it moves the
  // files and tells every process through the change counter.
  void MoveHiveAside() {
    MoveHiveAsideByHand();
    AnnounceHiveChange(root_.path());
  }
  // The same move, told to nobody.
  void MoveHiveAsideByHand() {
    fs::path file = root_ / "registry.db";
    fs::rename(file, aside_);
    std::error_code ignored;
    fs::rename(file.string() + "-wal", aside_.string() + "-wal", ignored);
    fs::remove(file.string() + "-shm", ignored);
  }
  // The one diagnostic a process gives when it turns to a new file.
  void ExpectOneReplacedReport() {
    std::vector<std::string> reports = Diagnostics();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("was replaced by another process"), std::string::npos) << reports[0];
  }
  // The value as a fresh connection to `file` reads it; "" when missing.
  static std::string ReadDirectly(const fs::path& file, const std::string& key_name, const std::string& value) {
    sqlite3* db = nullptr;
    std::string found;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* statement = nullptr;
      const char* sql =
          "SELECT v.data FROM hive_values v JOIN hive_keys k ON v.key = k.id WHERE k.name = ?1 AND v.name = ?2";
      if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, key_name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement, 2, value.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW) {
          found.assign(static_cast<const char*>(sqlite3_column_blob(statement, 0)), sqlite3_column_bytes(statement, 0));
        }
      }
      sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return found;
  }

  fs::path aside_ = root_ / "registry.db.damaged-20260101-000000";
};

TEST_F(MovedHiveTest, AConnectedProcessTurnsToTheNewHiveAndItsHandlesGo) {
  HKEY key = Create("SOFTWARE\\Product");
  ASSERT_EQ(SetString(key, "before", "old file"), kErrorSuccess);
  MoveHiveAside();

  // The handle named a key of the old file: it is gone, not silently writing there.
  EXPECT_EQ(SetString(key, "after", "lost?"), kErrorInvalidHandle);
  EXPECT_EQ(RegCloseKey(key), kErrorInvalidHandle);
  ExpectOneReplacedReport();

  // New work goes to the new file, where every process sees it.
  key = Create("SOFTWARE\\Product");
  EXPECT_EQ(Query(key, "before"), "<code 2>");
  ASSERT_EQ(SetString(key, "after", "new file"), kErrorSuccess);
  RegCloseKey(key);
  EXPECT_EQ(testing_support::RunInChild([] {
              ResetHiveForTesting();
              std::string data(16, '\0');
              DWORD size = static_cast<DWORD>(data.size());
              HKEY child_key = 0;
              if (RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Product", 0, kKeyRead, &child_key) != 0) return 10;
              if (RegQueryValueExA(child_key, "after", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != 0) {
                return 11;
              }
              return data.substr(0, size) == std::string("new file\0", 9) ? 0 : 12;
            }),
            0);
  ResetHiveForTesting();  // closes this process's connection before looking at the files
  EXPECT_EQ(ReadDirectly(aside_, "Product", "before"), std::string("old file\0", 9));
  EXPECT_EQ(ReadDirectly(aside_, "Product", "after"), "");
  EXPECT_EQ(ReadDirectly(root_ / "registry.db", "Product", "after"), std::string("new file\0", 9));
}

// The whole way: another process finds the file damaged, moves it aside and
// starts a new hive; this process, with no look due by time, turns to the
// new file at its next call.
TEST_F(MovedHiveTest, AHiveReplacedByAnotherProcessIsNoticedAtTheNextCall) {
  SetHiveLookIntervalForTesting(std::chrono::hours(1));
  HKEY key = Create("SOFTWARE\\Product");
  ASSERT_EQ(SetString(key, "before", "old file"), kErrorSuccess);
  // Everything in the file itself (the log folded in), so that damage to its
  // header is what the next opener reads.
  ResetHiveForTesting();
  key = Open("SOFTWARE\\Product");
  EXPECT_EQ(Query(key, "before"), std::string("old file\0", 9));
  ASSERT_EQ(testing_support::RunInChild([this] {
              ResetHiveForTesting();
              // Damage the file's header, as a disk fault would.
              int fd = ::open((root_ / "registry.db").c_str(), O_WRONLY);
              if (fd < 0 || ::pwrite(fd, "not a database, not at all", 26, 0) != 26) return 10;
              ::close(fd);
              return CreateKey(kHkeyLocalMachine, "SOFTWARE\\Fresh") == kErrorSuccess ? 0 : 11;
            }),
            0);

  EXPECT_EQ(SetString(key, "after", "lost?"), kErrorInvalidHandle);
  ExpectOneReplacedReport();
  HKEY fresh = 0;
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "SOFTWARE\\Fresh", 0, kKeyRead, &fresh), kErrorSuccess);
  RegCloseKey(fresh);
}

// A move nobody announces (by hand) is noticed by the look made once the
// last one is older than the interval.
TEST_F(MovedHiveTest, AHiveMovedByHandIsNoticedOnceTheLookIsDue) {
  HKEY key = Create("SOFTWARE\\Product");
  ASSERT_EQ(SetString(key, "before", "old file"), kErrorSuccess);
  MoveHiveAsideByHand();
  SetHiveLookIntervalForTesting(std::chrono::seconds(0));
  EXPECT_EQ(SetString(key, "after", "lost?"), kErrorInvalidHandle);
  ExpectOneReplacedReport();
  ResetHiveForTesting();
  EXPECT_EQ(ReadDirectly(aside_, "Product", "after"), "");
}

// A process reconnecting (a forked child) after the hive was replaced must
// not keep handles whose numbers now lead to other keys of the new file.
TEST_F(MovedHiveTest, HandlesDoNotSurviveAReconnectionToAnotherFile) {
  HKEY first = Create("First");
  HKEY second = Create("Second");
  ASSERT_EQ(SetString(second, "v", "second"), kErrorSuccess);
  int code = testing_support::RunInChild([&] {
    MoveHiveAside();
    // Keys of the new file take the ids the old ones had, in another order.
    HKEY other = 0;
    if (RegCreateKeyExA(kHkeyLocalMachine, "Other", 0, nullptr, 0, kKeyAllAccess, nullptr, &other, nullptr) != 0) {
      return 10;
    }
    if (SetString(other, "v", "other") != 0) return 11;
    DWORD size = 0;
    if (RegQueryValueExA(first, "v", nullptr, nullptr, nullptr, &size) != kErrorInvalidHandle) return 12;
    if (SetString(second, "v", "through a stale handle") != kErrorInvalidHandle) return 13;
    return Query(other, "v") == std::string("other\0", 6) ? 0 : 14;
  });
  EXPECT_EQ(code, 0);
}

// A client opening and closing in a loop must not use the numbers up for
// the whole process: after the last number the closed ones come back, those
// handed out first coming first, and a number still open is never handed out.
TEST_F(MovedHiveTest, ExhaustedHandleNumbersAreReusedOldestFirst) {
  SetNextHandleNumberForTesting(0x100);
  HKEY first = Create("First");    // 0x100, stays open
  HKEY second = Create("Second");  // 0x104, closed at once
  EXPECT_EQ(first, 0x100u);
  EXPECT_EQ(second, 0x104u);
  ASSERT_EQ(RegCloseKey(second), kErrorSuccess);

  SetNextHandleNumberForTesting(0x7FFFFFF8);
  HKEY a = Create("A");
  HKEY b = Create("B");
  EXPECT_EQ(a, 0x7FFFFFF8u);
  EXPECT_EQ(b, 0x7FFFFFFCu);
  ASSERT_EQ(RegCloseKey(a), kErrorSuccess);

  // Past the last number: 0x100 is still open and is skipped.
  HKEY more = 0;
  ASSERT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "A", 0, kKeyRead, &more), kErrorSuccess);
  EXPECT_EQ(more, 0x104u);
  HKEY created = 0;
  ASSERT_EQ(RegCreateKeyExA(kHkeyLocalMachine, "C", 0, nullptr, 0, kKeyAllAccess, nullptr, &created, nullptr),
            kErrorSuccess);
  EXPECT_EQ(created, 0x108u);

  // Open and close in a loop: every open succeeds with a number nobody holds.
  const std::set<HKEY> held{first, b, more, created};
  for (int i = 0; i < 1000; ++i) {
    HKEY loop = 0;
    ASSERT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "A", 0, kKeyRead, &loop), kErrorSuccess) << i;
    EXPECT_EQ(held.count(loop), 0u) << std::hex << loop;
    ASSERT_EQ(RegCloseKey(loop), kErrorSuccess);
  }

  // The roots need no number, and the handles that stayed open keep working,
  // each on its own key.
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "", 0, kKeyRead, &more), kErrorSuccess);
  EXPECT_EQ(more, kHkeyLocalMachine);
  EXPECT_EQ(SetString(first, "v", "first"), kErrorSuccess);
  EXPECT_EQ(SetString(b, "v", "b"), kErrorSuccess);
  EXPECT_EQ(SetString(created, "v", "c"), kErrorSuccess);
  EXPECT_EQ(Query(first, "v"), std::string("first\0", 6));
  EXPECT_EQ(Query(b, "v"), std::string("b\0", 2));
  EXPECT_EQ(Query(created, "v"), std::string("c\0", 2));
  EXPECT_EQ(RegCloseKey(a), kErrorInvalidHandle);
  SetNextHandleNumberForTesting(0x100);
}

}  // namespace
}  // namespace platform::registry
