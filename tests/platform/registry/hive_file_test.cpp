// What the hive file holds, read with SQLite and by its header bytes: other
// tools and later versions rely on this layout.
#include <sqlite3.h>

#include <string>

#include "platform/registry/registry_helpers.h"
#include "registry_fixture.h"

namespace platform::registry {
namespace {

using testing_support::ReadFileBytes;

class HiveFileTest : public RegistryTest {};

// Rows of `sql` as "a|b|c" lines, blobs in hex.
std::string Rows(const std::filesystem::path& file, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* statement = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        if (c > 0) out += '|';
        if (sqlite3_column_type(statement, c) == SQLITE_BLOB) {
          const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, c));
          char hex[3];
          for (int i = 0; i < sqlite3_column_bytes(statement, c); ++i) {
            std::snprintf(hex, sizeof(hex), "%02x", bytes[i]);
            out += hex;
          }
        } else {
          const unsigned char* text = sqlite3_column_text(statement, c);
          out += text == nullptr ? "NULL" : reinterpret_cast<const char*>(text);
        }
      }
      out += '\n';
    }
  } else {
    out = sqlite3_errmsg(db);
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return out;
}

TEST_F(HiveFileTest, RowsHoldNamesAsWrittenAndRawBytes) {
  ASSERT_EQ(WriteStringValue(kHkeyLocalMachine, "SOFTWARE\\Norvale", "InstallDir", "/opt/x"), kErrorSuccess);
  ASSERT_EQ(WriteDwordValue(kHkeyLocalMachine, "software\\norvale", "TraceLevel", 4), kErrorSuccess);
  ASSERT_EQ(WriteValue(kHkeyLocalMachine, "SOFTWARE\\Norvale", "", kRegBinary, ""), kErrorSuccess);
  std::filesystem::path file = root_ / "registry.db";
  EXPECT_EQ(Rows(file, "SELECT id, parent, name, fold FROM hive_keys ORDER BY id"),
            "1|0|HKEY_CLASSES_ROOT|HKEY_CLASSES_ROOT\n"
            "2|0|HKEY_CURRENT_USER|HKEY_CURRENT_USER\n"
            "3|0|HKEY_LOCAL_MACHINE|HKEY_LOCAL_MACHINE\n"
            "4|0|HKEY_USERS|HKEY_USERS\n"
            "5|3|SOFTWARE|SOFTWARE\n"
            "6|5|Norvale|NORVALE\n");
  EXPECT_EQ(Rows(file, "SELECT key, name, fold, type, data FROM hive_values ORDER BY fold"),
            "6|||3|\n"
            "6|InstallDir|INSTALLDIR|1|2f6f70742f7800\n"
            "6|TraceLevel|TRACELEVEL|4|04000000\n");
}

TEST_F(HiveFileTest, HeaderMarksAWriteAheadLoggedHive) {
  ASSERT_EQ(CreateKey(kHkeyLocalMachine, "X"), kErrorSuccess);
  ResetHiveForTesting();  // closing folds the log into the file
  std::string bytes = ReadFileBytes(root_ / "registry.db");
  ASSERT_GE(bytes.size(), 100u);
  EXPECT_EQ(bytes.substr(0, 16), std::string("SQLite format 3\0", 16));
  EXPECT_EQ(bytes[18], 2);  // write version: WAL
  EXPECT_EQ(bytes[19], 2);  // read version: WAL
  EXPECT_EQ(bytes.substr(68, 4), "HRGY");  // application id
  EXPECT_EQ(bytes.substr(60, 4), std::string("\0\0\0\1", 4));  // layout version 1
}

// A hive written before values kept their order: it opens as it is, its
// values come in name order, later ones after them, and the layout version
// stays so that older programs still use the file.
TEST_F(HiveFileTest, AHiveWithoutValueOrderGainsIt) {
  std::filesystem::path file = root_ / "registry.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  const char* old_layout = R"sql(
    CREATE TABLE hive_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL, name TEXT NOT NULL,
      fold TEXT NOT NULL, class TEXT NOT NULL DEFAULT '', created INTEGER NOT NULL DEFAULT 0, UNIQUE(parent, fold));
    CREATE TABLE hive_values(key INTEGER NOT NULL REFERENCES hive_keys(id), fold TEXT NOT NULL, name TEXT NOT NULL,
      type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold)) WITHOUT ROWID;
    INSERT INTO hive_keys(id, parent, name, fold) VALUES (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),
      (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'), (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
      (4, 0, 'HKEY_USERS', 'HKEY_USERS'), (5, 3, 'Old', 'OLD');
    INSERT INTO hive_values VALUES (5, 'ZED', 'zed', 4, x'01000000'), (5, 'ALPHA', 'alpha', 4, x'02000000');
    PRAGMA application_id = 1213351769;
    PRAGMA user_version = 1;
  )sql";
  ASSERT_EQ(sqlite3_exec(db, old_layout, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);

  HKEY key = Open("Old");
  ASSERT_EQ(WriteDwordValue(kHkeyLocalMachine, "Old", "middle", 3), kErrorSuccess);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"alpha", "zed", "middle"}));
  RegCloseKey(key);
  EXPECT_TRUE(Diagnostics().empty());
  ResetHiveForTesting();
  EXPECT_EQ(Rows(file, "PRAGMA user_version"), "1\n");
  EXPECT_EQ(Rows(file, "SELECT name, seq FROM hive_values ORDER BY seq, fold"), "alpha|0\nzed|0\nmiddle|1\n");
}

}  // namespace
}  // namespace platform::registry
