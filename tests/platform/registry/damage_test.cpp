// A damaged hive file is moved aside, reported, and replaced by a new hive;
// a root where no hive can live gives clean result codes.
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace platform::registry {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class DamageTest : public RegistryTest {
 protected:
  std::vector<fs::path> AsideFiles() {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(root_.path())) {
      std::string name = entry.path().filename().string();
      if (name.rfind("registry.db.damaged-", 0) == 0 && name.find("-wal") == std::string::npos) {
        found.push_back(entry.path());
      }
    }
    return found;
  }

  // Fails the test unless exactly one file was moved aside with `original`
  // bytes, a report names it, and a new working hive took its place.
  void ExpectMovedAside(const std::string& original, const std::string& reason_word) {
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExA(kHkeyLocalMachine, "After", 0, nullptr, 0, kKeyAllAccess, nullptr, &key, nullptr),
              kErrorSuccess);
    ASSERT_EQ(SetString(key, "v", "fresh"), kErrorSuccess);
    EXPECT_EQ(Query(key, "v"), std::string("fresh\0", 6));
    RegCloseKey(key);

    std::vector<fs::path> aside = AsideFiles();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_TRUE(ReadFileBytes(aside[0]) == original) << "the file moved aside differs from the damaged one";
    std::string name = aside[0].filename().string();
    // registry.db.damaged-YYYYMMDD-HHMMSS
    EXPECT_EQ(name.size(), std::string("registry.db.damaged-20240101-120000").size()) << name;
    std::vector<std::string> reports = Diagnostics();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("damaged"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(reason_word), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find(aside[0].string()), std::string::npos) << reports[0];
  }
};

TEST_F(DamageTest, GarbageFileIsMovedAside) {
  std::string garbage;
  for (int i = 0; i < 200; ++i) garbage += "this is not a registry hive. ";
  WriteFileBytes(root_ / "registry.db", garbage);
  ExpectMovedAside(garbage, "not a database");
}

TEST_F(DamageTest, DamagedPageIsMovedAside) {
  HKEY key = Create("Filler");
  std::string text(600, 'x');
  for (int i = 0; i < 200; ++i) ASSERT_EQ(SetString(key, ("v" + std::to_string(i)).c_str(), text), kErrorSuccess);
  RegCloseKey(key);
  ResetHiveForTesting();  // the last connection closing folds the log into the file
  ASSERT_FALSE(fs::exists(root_ / "registry.db-wal"));
  std::string bytes = ReadFileBytes(root_ / "registry.db");
  ASSERT_GT(bytes.size(), 4096u * 8);
  for (size_t i = 4096 * 2; i < 4096 * 6; ++i) bytes[i] = static_cast<char>(0xA5 ^ (i & 0xff));
  WriteFileBytes(root_ / "registry.db", bytes);
  ExpectMovedAside(bytes, "damaged");
}

TEST_F(DamageTest, ForeignDatabaseIsMovedAside) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root_ / "registry.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA application_id = 7; CREATE TABLE notes(text);", nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::string original = ReadFileBytes(root_ / "registry.db");
  ExpectMovedAside(original, "not a registry hive");
}

TEST_F(DamageTest, UnmarkedForeignDatabaseIsMovedAside) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root_ / "registry.db").c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('keep me');", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::string original = ReadFileBytes(root_ / "registry.db");
  ExpectMovedAside(original, "not a registry hive");
}

TEST_F(DamageTest, AGoodHiveIsLeftAlone) {
  HKEY key = Create("Keep");
  ASSERT_EQ(SetString(key, "v", "kept"), kErrorSuccess);
  RegCloseKey(key);
  for (int reopen = 0; reopen < 3; ++reopen) {
    ResetHiveForTesting();
    key = Open("Keep", kKeyRead);
    EXPECT_EQ(Query(key, "v"), std::string("kept\0", 5));
    RegCloseKey(key);
  }
  EXPECT_TRUE(AsideFiles().empty());
  EXPECT_TRUE(Diagnostics().empty());
}

// A hive laid out by a later version (a downgrade) is no damage: it is
// refused with a clear report, left byte for byte, and used again as soon as
// its layout is one this program knows.
TEST_F(DamageTest, AHiveOfANewerLayoutIsRefusedAndLeftAlone) {
  HKEY key = Create("Keep");
  ASSERT_EQ(SetString(key, "v", "kept"), kErrorSuccess);
  RegCloseKey(key);
  ResetHiveForTesting();
  auto set_version = [&](int version) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((root_ / "registry.db").c_str(), &db), SQLITE_OK);
    std::string sql = "PRAGMA user_version = " + std::to_string(version);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  };
  set_version(7);
  const std::string before = ReadFileBytes(root_ / "registry.db");

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "Keep", 0, kKeyRead, &key), kErrorRegistryIoFailed);
    EXPECT_EQ(RegCreateKeyExA(kHkeyLocalMachine, "New", 0, nullptr, 0, kKeyAllAccess, nullptr, &key, nullptr),
              kErrorRegistryIoFailed);
  }
  EXPECT_TRUE(ReadFileBytes(root_ / "registry.db") == before) << "the newer hive was changed";
  EXPECT_TRUE(AsideFiles().empty());
  std::vector<std::string> reports = Diagnostics();
  ASSERT_EQ(reports.size(), 1u);  // once, not on every call
  EXPECT_NE(reports[0].find("layout version 7, newer than this program's 1; it is left as it is"),
            std::string::npos)
      << reports[0];

  set_version(1);
  key = Open("Keep", kKeyRead);
  EXPECT_EQ(Query(key, "v"), std::string("kept\0", 5));
  RegCloseKey(key);
}

TEST_F(DamageTest, ARootWhereNoHiveCanLiveGivesIoFailure) {
  WriteFileBytes(root_ / "plainfile", "x");
  SetMachineRoot(root_ / "plainfile");  // a file, so no folder and no hive below it
  HKEY key = 0;
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "X", 0, kKeyRead, &key), kErrorRegistryIoFailed);
  EXPECT_EQ(RegCloseKey(0x100), kErrorRegistryIoFailed);
  std::vector<std::string> reports = Diagnostics();
  ASSERT_EQ(reports.size(), 1u);  // reported once, not on every call
  EXPECT_NE(reports[0].find("cannot open the registry hive"), std::string::npos) << reports[0];
  SetMachineRoot(root_.path());
  EXPECT_EQ(RegOpenKeyExA(kHkeyLocalMachine, "", 0, kKeyRead, &key), kErrorSuccess);
}

}  // namespace
}  // namespace platform::registry
