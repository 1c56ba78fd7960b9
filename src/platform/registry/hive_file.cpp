#include "platform/registry/hive_file.h"

#include <algorithm>
#include <thread>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <system_error>

#include "platform/registry/hive_changes.h"
#include "platform/registry/sql_statement.h"

namespace platform::registry {
namespace {

namespace fs = std::filesystem;

// "HRGY": marks the file as a hive, so a foreign database is never taken for one.
constexpr int64_t kApplicationId = 0x48524759;
constexpr int64_t kLayoutVersion = 1;

constexpr const char* kCreateLayout = R"sql(
CREATE TABLE IF NOT EXISTS hive_keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  fold TEXT NOT NULL,
  class TEXT NOT NULL DEFAULT '',
  created INTEGER NOT NULL DEFAULT 0,
  UNIQUE(parent, fold));
CREATE TABLE IF NOT EXISTS hive_values(
  key INTEGER NOT NULL REFERENCES hive_keys(id),
  fold TEXT NOT NULL,
  name TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  seq INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(key, fold)) WITHOUT ROWID;
INSERT OR IGNORE INTO hive_keys(id, parent, name, fold) VALUES
  (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),
  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),
  (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
  (4, 0, 'HKEY_USERS', 'HKEY_USERS');
PRAGMA application_id = 1213351769;
PRAGMA user_version = 1;
)sql";
static_assert(kApplicationId == 1213351769);

// Values enumerate in the order they were first written: `seq` numbers them
// within their key. Added to hives laid out before it existed; the layout
// version stays, since older programs read and write such a hive as before
// (what they add just sorts first).
constexpr const char* kAddValueOrder = "ALTER TABLE hive_values ADD COLUMN seq INTEGER NOT NULL DEFAULT 0";
constexpr const char* kValueOrderIndex = "CREATE INDEX IF NOT EXISTS hive_values_order ON hive_values(key, seq)";

// The file opened but is not a usable hive; what() says why.
struct Damaged {
  std::string reason;
};

// A hive laid out by a later version of this program: not ours to change.
struct Newer {
  int64_t version;
};

bool HasValueOrder(sqlite3* db) {
  Statement statement(db, "SELECT count(*) FROM pragma_table_info('hive_values') WHERE name = 'seq'");
  Statement::Use use(statement);
  return statement.Step() && statement.ColumnInt(0) != 0;
}

bool HasValueOrderIndex(sqlite3* db) {
  Statement statement(db, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'hive_values_order'");
  Statement::Use use(statement);
  return statement.Step() && statement.ColumnInt(0) != 0;
}

int64_t PragmaNumber(sqlite3* db, const char* sql) {
  Statement statement(db, sql);
  Statement::Use use(statement);
  return statement.Step() ? statement.ColumnInt(0) : 0;
}

// Throws Damaged or SqlError; returns an open, checked connection.
sqlite3* TryOpenOnce(const fs::path& file);

// Processes opening a new hive at once meet in its first steps (the change
// to WAL, the layout), where SQLite answers "busy" at once instead of
// waiting, to avoid a deadlock between two lock upgrades. Each step is safe
// to run again, so a busy open is tried again, for as long as a busy write
// would wait.
sqlite3* TryOpen(const fs::path& file) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHiveBusyTimeoutMs);
  for (int attempt = 0;; ++attempt) {
    try {
      return TryOpenOnce(file);
    } catch (const SqlError& error) {
      if (error.primary_code() != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) throw;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(1 + attempt * 2, 50)));
  }
}

sqlite3* TryOpenOnce(const fs::path& file) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  try {
    CheckSql(db, rc, "open " + file.string());
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kHiveBusyTimeoutMs);
    // Look before changing anything: a file that is no hive is moved aside as
    // it was found.
    {
      Statement check(db, "PRAGMA quick_check(1)");
      Statement::Use use(check);
      std::string verdict = check.Step() ? std::string(check.ColumnText(0)) : std::string("no answer");
      if (verdict != "ok") throw Damaged{"integrity check: " + verdict};
    }
    int64_t application_id = PragmaNumber(db, "PRAGMA application_id");
    int64_t version = PragmaNumber(db, "PRAGMA user_version");
    bool foreign = application_id != 0 && application_id != kApplicationId;
    if (application_id == 0) {
      // Unmarked: only an empty file or a hive cut short while being laid out.
      foreign = PragmaNumber(db,
                             "SELECT count(*) FROM sqlite_master WHERE name NOT IN "
                             "('hive_keys', 'hive_values', 'hive_values_order', 'sqlite_sequence') AND name NOT LIKE 'sqlite_autoindex_%'") != 0;
    }
    if (foreign) throw Damaged{"not a registry hive"};
    if (version > kLayoutVersion) throw Newer{version};
    ExecSql(db, "PRAGMA journal_mode=WAL");
    // Survives a crash of any process; only a power loss may take the last
    // writes, as with the lazy flushing of the Windows registry.
    ExecSql(db, "PRAGMA synchronous=NORMAL");
    // A value can only be added to a key that exists: a handle may outlive
    // its key, deleted by another handle or process.
    ExecSql(db, "PRAGMA foreign_keys=ON");
    if (application_id != kApplicationId || version != kLayoutVersion || !HasValueOrderIndex(db)) {
      WriteTransaction transaction(db);
      // Looked at again under the write lock: another process may have laid
      // the file out meanwhile.
      ExecSql(db, kCreateLayout);
      if (!HasValueOrder(db)) ExecSql(db, kAddValueOrder);
      ExecSql(db, kValueOrderIndex);
      transaction.Commit();
      // A hive laid out anew may have taken the name of one moved away by
      // hand: processes still on that one look now.
      AnnounceHiveChange(file.parent_path());
    }
    // A file that calls itself a hive but lacks the tables is as good as damaged.
    try {
      Statement probe(db, "SELECT k.id, k.parent, k.name, k.fold, k.class, k.created, v.key, v.fold, v.name, "
                          "v.type, v.data, v.seq FROM hive_keys k, hive_values v LIMIT 0");
    } catch (const SqlError& error) {
      if (error.primary_code() == SQLITE_ERROR) throw Damaged{std::string("unexpected layout: ") + error.what()};
      throw;
    }
    return db;
  } catch (const SqlError& error) {
    sqlite3_close_v2(db);
    if (error.IsDamage()) throw Damaged{error.what()};
    throw;
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
}

std::string UtcStamp() {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof(text), "%Y%m%d-%H%M%S", &utc);
  return text;
}

// registry.db.damaged-<stamp>, with ".2", ".3" ... when that name is taken.
fs::path AsideName(const fs::path& file) {
  std::string base = file.string() + ".damaged-" + UtcStamp();
  fs::path aside = base;
  for (int n = 2; fs::exists(aside) || fs::exists(aside.string() + "-wal"); ++n) {
    aside = base + "." + std::to_string(n);
  }
  return aside;
}

// An exclusive lock on <root>/registry.db.lock while a damaged file is moved,
// so two processes never both move files (the second would move a new hive).
// Openers hold it shared from their open until they know which file they
// opened, so a move never falls in between.
class RecoveryLock {
 public:
  RecoveryLock(const fs::path& root, int operation) {
    fd_ = ::open((root / "registry.db.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      while (::flock(fd_, operation) != 0 && errno == EINTR) {
      }
    }
  }
  ~RecoveryLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  RecoveryLock(const RecoveryLock&) = delete;
  RecoveryLock& operator=(const RecoveryLock&) = delete;

 private:
  int fd_ = -1;
};

SqlError NewerLayout(const fs::path& file, const Newer& newer) {
  return SqlError(SQLITE_CANTOPEN, "registry hive " + file.string() + " has layout version " +
                                       std::to_string(newer.version) + ", newer than this program's " +
                                       std::to_string(kLayoutVersion) + "; it is left as it is");
}

// The opened connection and the identity of the file it opened.
sqlite3* Identified(sqlite3* db, const fs::path& file, HiveFileId* id) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    int error = errno;
    sqlite3_close_v2(db);
    throw SqlError(SQLITE_CANTOPEN, "registry hive " + file.string() + ": " + std::strerror(error));
  }
  *id = HiveFileId{st.st_dev, st.st_ino};
  return db;
}

}  // namespace

bool operator==(const HiveFileId& a, const HiveFileId& b) { return a.device == b.device && a.inode == b.inode; }

std::optional<HiveFileId> CurrentHiveFileId(const fs::path& root) {
  struct stat st {};
  if (::stat((root / kHiveFileName).c_str(), &st) != 0) return std::nullopt;
  return HiveFileId{st.st_dev, st.st_ino};
}

sqlite3* OpenHiveFile(const fs::path& root, std::vector<std::string>* diagnostics) {
  HiveFileId ignored;
  return OpenHiveFile(root, diagnostics, &ignored);
}

sqlite3* OpenHiveFile(const fs::path& root, std::vector<std::string>* diagnostics, HiveFileId* id) {
  std::error_code ignored;
  fs::create_directories(root, ignored);
  fs::path file = root / kHiveFileName;
  try {
    RecoveryLock shared(root, LOCK_SH);
    return Identified(TryOpen(file), file, id);
  } catch (const Damaged&) {
    // Look again under the lock: another process may have replaced it already.
  } catch (const Newer& newer) {
    throw NewerLayout(file, newer);
  }
  RecoveryLock lock(root, LOCK_EX);
  std::string reason;
  try {
    return Identified(TryOpen(file), file, id);
  } catch (const Damaged& damaged) {
    reason = damaged.reason;
  } catch (const Newer& newer) {
    throw NewerLayout(file, newer);
  }
  fs::path aside = AsideName(file);
  std::error_code error;
  fs::rename(file, aside, error);
  if (error) {
    throw SqlError(SQLITE_CANTOPEN, "registry hive " + file.string() + " is damaged (" + reason +
                                        ") and cannot be moved aside: " + error.message());
  }
  // The old write-ahead log belongs to the old file: it must never be replayed
  // into the new one.
  fs::rename(file.string() + "-wal", aside.string() + "-wal", ignored);
  fs::remove(file.string() + "-shm", ignored);
  fs::remove(file.string() + "-journal", ignored);
  AnnounceHiveChange(root);
  diagnostics->push_back("Registry hive " + file.string() + " is damaged (" + reason + "); moved it to " +
                         aside.string() + " and started a new hive");
  try {
    return Identified(TryOpen(file), file, id);
  } catch (const Damaged& damaged) {
    throw SqlError(SQLITE_CANTOPEN, "new registry hive " + file.string() + " unusable: " + damaged.reason);
  } catch (const Newer& newer) {
    throw NewerLayout(file, newer);
  }
}

void CloseHiveFile(sqlite3* db) {
  if (db != nullptr) sqlite3_close_v2(db);
}

}  // namespace platform::registry
