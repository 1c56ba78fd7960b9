#include "support/imdb/imdb_connection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <ctime>
#include <system_error>

#include "support/imdb/imdb_error.h"
#include "support/imdb/value_binding.h"
#include "support/imdb/shared_file.h"

namespace support {
namespace {

// How long a writer waits for another (thread or process) before giving up
// with "database is locked".
constexpr int kBusyTimeoutMs = 10000;
// How often a connection looks at the path to see whether another process
// replaced the file. Replacements made in this process are seen at once.
constexpr int64_t kIdentityCheckIntervalNs = 10'000'000;
// Caches are small: the store uses a handful of statement texts.
constexpr size_t kMaxCachedTranslations = 256;
constexpr size_t kMaxCachedStatements = 128;

std::atomic<int> open_fault{0};

// A monotonic clock read cheaply: its steps (a few milliseconds at most) are
// fine for spacing out looks at the path.
int64_t CoarseNowNs() {
  timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// What an engine result code says about the file.
ImdbFailure KindOf(int code) {
  switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ImdbFailure::kDamaged;
    case SQLITE_ERROR:
    case SQLITE_SCHEMA:
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_RANGE:
    case SQLITE_TOOBIG:
      return ImdbFailure::kStatement;
    default:
      // IOERR, CANTOPEN, BUSY, LOCKED, NOMEM, FULL, PERM, READONLY ...
      return ImdbFailure::kTransient;
  }
}

bool OnlyBlanks(const char* text) {
  for (; text && *text; ++text) {
    if (!std::isspace(static_cast<unsigned char>(*text)) && *text != ';') return false;
  }
  return true;
}

// Resets a cached statement whatever happens. Its bound values stay: every
// use binds all of its placeholders before the first step.
struct StatementUse {
  sqlite3_stmt* stmt;
  ~StatementUse() { sqlite3_reset(stmt); }
};

}  // namespace

// The write turn for the length of one call, unless the connection already
// holds it for a FOR UPDATE result.
class ImdbConnection::GateTurn {
 public:
  explicit GateTurn(ImdbConnection& connection) : connection_(connection), owned_(!connection.holds_gate_) {
    if (owned_) connection_.AcquireGate();
  }
  ~GateTurn() {
    if (owned_) connection_.ReleaseGate();
  }
  GateTurn(const GateTurn&) = delete;
  GateTurn& operator=(const GateTurn&) = delete;

 private:
  ImdbConnection& connection_;
  bool owned_;
};

ImdbConnection::ImdbConnection(std::string path, int64_t max_size) : path_(std::move(path)), max_size_(max_size) {
  OpenFile();
}

ImdbConnection::~ImdbConnection() {
  try {
    CloseResult();
  } catch (...) {
  }
  CloseFile();
}

void ImdbConnection::SetOpenFault(int engine_code) { open_fault.store(engine_code); }

void ImdbConnection::Break(std::string reason, ImdbFailure kind) {
  broken_ = std::move(reason);
  broken_kind_ = kind;
  last_failure_ = kind;
}

void ImdbConnection::OpenFile() {
  broken_.clear();
  broken_kind_ = ImdbFailure::kNone;
  last_failure_ = ImdbFailure::kNone;
  std::error_code error;
  std::filesystem::path parent = std::filesystem::path(path_).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  shared_ = SharedFile::ForFile(path_);
  generation_seen_ = shared_->generation();
  ForgetProven();
  if (int fault = open_fault.load()) {
    Break(sqlite3_errstr(fault), KindOf(fault));
    return;
  }
  int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    Break(db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc), KindOf(rc));
    return;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  try {
    // Write-ahead log: readers never wait for the writer, and a commit needs
    // no flush to be safe from a crash of the process.
    Run("PRAGMA journal_mode=WAL");
    Run("PRAGMA synchronous=NORMAL");
    if (max_size_ > 0) {
      sqlite3_stmt* stmt = Prepare("PRAGMA page_size");
      StatementUse use{stmt};
      int64_t page_size = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 4096;
      int64_t pages = std::max<int64_t>(1, max_size_ / std::max<int64_t>(page_size, 512));
      Run("PRAGMA max_page_count=" + std::to_string(pages));
    }
    // A damaged file is found here once, rather than row by row later.
    sqlite3_stmt* stmt = Prepare("PRAGMA quick_check(1)");
    StatementUse use{stmt};
    rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW) RaiseEngineError();
    std::string verdict = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    if (verdict != "ok") {
      last_failure_ = ImdbFailure::kDamaged;
      RaiseImdbError("database disk image is malformed: " + verdict);
    }
  } catch (const platform::BasicError& e) {
    // The engine's verdict on the file (damaged, or only unusable now) was
    // noted with the failure.
    Break(e.description(), last_failure_ == ImdbFailure::kNone ? ImdbFailure::kTransient : last_failure_);
    return;
  }
  struct stat info {};
  if (::stat(path_.c_str(), &info) == 0) {
    device_ = info.st_dev;
    inode_ = info.st_ino;
  }
  identity_checked_ = CoarseNowNs();
}

void ImdbConnection::CloseFile() {
  ForgetStatements();
  tables_.clear();
  update_sql_.clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

void ImdbConnection::NoteEngineFailure() {
  ForgetProven();
  if (!db_) return;
  const int code = sqlite3_errcode(db_);
  last_failure_ = KindOf(code);
  if (last_failure_ == ImdbFailure::kDamaged) {
    Break(sqlite3_errmsg(db_), ImdbFailure::kDamaged);
    shared_->Bump();
  }
}

void ImdbConnection::RaiseEngineError() {
  if (!db_) {
    last_failure_ = ImdbFailure::kTransient;
    RaiseImdbError("the database is not open");
  }
  std::string message = sqlite3_errmsg(db_);
  const bool full = (sqlite3_errcode(db_) & 0xff) == SQLITE_FULL;
  NoteEngineFailure();
  RaiseImdbError(message, full ? kErrImdbFull : kErrImdb);
}

void ImdbConnection::EnsureUsable() {
  if (!broken_.empty()) {
    last_failure_ = broken_kind_;
    RaiseImdbError(broken_);
  }
  if (holds_gate_) return;
  const int64_t now = CoarseNowNs();
  uint64_t generation = shared_->generation();
  if (generation == generation_seen_ && now - identity_checked_ < kIdentityCheckIntervalNs) return;
  if (generation != generation_seen_) {
    ForgetProven();
    update_sql_.clear();
    result_.ForgetLayouts();
    generation_seen_ = generation;
  }
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    ForgetProven();
    last_failure_ = ImdbFailure::kTransient;  // the next open makes a new one
    identity_checked_ = 0;  // look again next time: a new file may come
    RaiseImdbError("the database file " + path_ + " no longer exists");
  }
  identity_checked_ = now;
  if (info.st_dev != device_ || info.st_ino != inode_) {
    // Another connection deleted the file and built a new one: move over to
    // it, so that every connection keeps seeing the same rows.
    CloseFile();
    OpenFile();
    if (!broken_.empty()) RaiseImdbError(broken_);
  }
}

ImdbConnection::CachedSql& ImdbConnection::Translate(std::string_view sql) {
  RecentSql& recent = recent_[(reinterpret_cast<uintptr_t>(sql.data()) >> 4) % kRecentSlots];
  if (recent.text != nullptr && *recent.text == sql) return *recent.cached;
  auto found = translations_.find(sql);
  if (found == translations_.end()) {
    if (translations_.size() >= kMaxCachedTranslations) {
      translations_.clear();
      for (RecentSql& slot : recent_) slot = RecentSql();
    }
    CachedSql cached;
    cached.translated = TranslateSql(sql);
    found = translations_.emplace(std::string(sql), std::move(cached)).first;
  }
  recent = RecentSql{&found->first, &found->second};
  return found->second;
}

sqlite3_stmt* ImdbConnection::StatementOf(CachedSql& cached) {
  if (cached.stmt == nullptr || cached.statement_epoch != statement_epoch_) {
    cached.stmt = Prepare(cached.translated.statements[0]);
    cached.statement_epoch = statement_epoch_;
  }
  return cached.stmt;
}

void ImdbConnection::ForgetStatements() {
  result_.ForgetLayouts();
  for (auto& [text, stmt] : statements_) sqlite3_finalize(stmt);
  statements_.clear();
  begin_ = nullptr;
  commit_ = nullptr;
  ++statement_epoch_;
}

sqlite3_stmt* ImdbConnection::TransactionStatement(sqlite3_stmt*& slot, const char* sql) {
  if (slot == nullptr) slot = Prepare(sql);
  return slot;
}

void ImdbConnection::Begin() {
  sqlite3_stmt* stmt = TransactionStatement(begin_, "BEGIN IMMEDIATE");
  StatementUse use{stmt};
  if (sqlite3_step(stmt) != SQLITE_DONE) RaiseEngineError();
}

void ImdbConnection::Commit() {
  sqlite3_stmt* stmt = TransactionStatement(commit_, "COMMIT");
  StatementUse use{stmt};
  if (sqlite3_step(stmt) != SQLITE_DONE) RaiseEngineError();
}

sqlite3_stmt* ImdbConnection::Prepare(const std::string& sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return found->second;
  if (statements_.size() >= kMaxCachedStatements) ForgetStatements();
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, &tail) !=
      SQLITE_OK) {
    RaiseEngineError();
  }
  if (stmt == nullptr) RaiseImdbError("empty SQL statement");
  if (!OnlyBlanks(tail)) {
    sqlite3_finalize(stmt);
    RaiseImdbError("only one SQL statement may be given at a time");
  }
  statements_.emplace(sql, stmt);
  return stmt;
}

void ImdbConnection::FetchResult(sqlite3_stmt* stmt, bool hidden_rowid) {
  try {
    result_.Fetch(stmt, hidden_rowid);
  } catch (...) {
    NoteEngineFailure();
    throw;
  }
}

void ImdbConnection::Run(const std::string& sql) {
  sqlite3_stmt* stmt = Prepare(sql);
  StatementUse use{stmt};
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) RaiseEngineError();
}

void ImdbConnection::StepToEnd(sqlite3_stmt* stmt) {
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) RaiseEngineError();
  rows_changed_ = sqlite3_changes(db_);
}

void ImdbConnection::AcquireGate() {
  if (!shared_->Acquire(std::chrono::milliseconds(kBusyTimeoutMs))) RaiseImdbError("database is locked");
  holds_gate_ = true;
}

void ImdbConnection::ReleaseGate() {
  holds_gate_ = false;
  shared_->Release();
}

bool ImdbConnection::Execute(std::string_view sql, std::span<const platform::Variant> params) {
  CloseResult();
  EnsureUsable();
  CachedSql& cached = Translate(sql);
  const TranslatedSql& translated = cached.translated;
  switch (translated.kind) {
    case SqlKind::kSelect: {
      if (!translated.for_update) {
        sqlite3_stmt* stmt = StatementOf(cached);
        StatementUse use{stmt};
        BindValues(stmt, params);
        FetchResult(stmt, false);
        return true;
      }
      // The rows stay taken until the result is closed: the write turn of
      // this process and the file's write lock against other processes.
      AcquireGate();
      try {
        sqlite3_stmt* stmt = StatementOf(cached);
        Begin();
        in_transaction_ = true;
        StatementUse use{stmt};
        BindValues(stmt, params);
        FetchResult(stmt, true);
      } catch (...) {
        if (in_transaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        in_transaction_ = false;
        ReleaseGate();
        throw;
      }
      for_update_ = true;
      update_table_ = translated.table;
      return true;
    }
    case SqlKind::kCreateTable:
    case SqlKind::kDropTable: {
      if (!params.empty()) RaiseImdbError("CREATE and DROP take no placeholders");
      GateTurn turn(*this);
      tables_.clear();
      update_sql_.clear();
      // Whatever happens, what was proven about the tables is old news.
      shared_->Bump();
      Begin();
      try {
        for (const std::string& statement : translated.statements) {
          // Schema statements run once; they are not worth a cache entry.
          if (sqlite3_exec(db_, statement.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) RaiseEngineError();
        }
        Commit();
      } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        shared_->Bump();
        throw;
      }
      shared_->Bump();
      return true;
    }
    default: {
      GateTurn turn(*this);
      sqlite3_stmt* stmt = StatementOf(cached);
      StatementUse use{stmt};
      BindValues(stmt, params);
      StepToEnd(stmt);
      return true;
    }
  }
}

bool ImdbConnection::Check(std::string_view sql) {
  EnsureUsable();
  CachedSql& cached = Translate(sql);
  const TranslatedSql& translated = cached.translated;
  if (translated.kind == SqlKind::kSelect) {
    // Proven before, and nothing has happened since that could change the
    // answer: no schema change, no replaced file, no error on the file.
    if (cached.proven_epoch == proven_epoch_) return true;
    // Started but stopped before its first row: proves the file is readable
    // and the statement fits the tables as they are now, reading no rows.
    sqlite3_stmt* stmt = Prepare(translated.statements[0] + " LIMIT 0");
    StatementUse use{stmt};
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) RaiseEngineError();
    cached.proven_epoch = proven_epoch_;
    return true;
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, translated.statements[0].c_str(), -1, &stmt, nullptr);
  sqlite3_finalize(stmt);
  if (rc != SQLITE_OK) RaiseEngineError();
  return true;
}

void ImdbConnection::SetField(int column, const platform::Variant& value) {
  if (for_update_) {
    // Raises without a current row rather than staging for an insert.
    result_.SetField(column, value);
    return;
  }
  if (column < 1) RaiseImdbError("column " + std::to_string(column) + " is out of range", platform::kErrSubscript);
  staged_insert_[column] = value;
}

const ImdbConnection::TableInfo& ImdbConnection::Table(std::string_view table) {
  auto found = tables_.find(table);
  if (found != tables_.end()) return found->second;
  TableInfo info;
  sqlite3_stmt* stmt = nullptr;
  std::string sql = "PRAGMA table_info(\"" + std::string(table) + "\")";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) RaiseEngineError();
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    info.columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    const char* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2));
    if (sqlite3_column_int(stmt, 5) == 1 && type && std::string_view(type) == "INTEGER") info.has_counter = true;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) RaiseEngineError();
  if (info.columns.empty()) RaiseImdbError("no such table: " + std::string(table));
  return tables_.emplace(std::string(table), std::move(info)).first->second;
}

int32_t ImdbConnection::InsertRow(std::string_view table) {
  std::map<int, platform::Variant> staged;
  staged.swap(staged_insert_);
  if (!IsPlainIdentifier(table)) RaiseImdbError("not a table name: " + std::string(table));
  EnsureUsable();
  const TableInfo& info = Table(table);
  std::string names;
  std::string marks;
  std::vector<platform::Variant> values;
  values.reserve(staged.size());
  for (auto& [column, value] : staged) {
    if (column > static_cast<int>(info.columns.size())) {
      RaiseImdbError("column " + std::to_string(column) + " is out of range (table " + std::string(table) + " has " +
                         std::to_string(info.columns.size()) + ")",
                     platform::kErrSubscript);
    }
    if (!names.empty()) {
      names += ",";
      marks += ",";
    }
    names += "\"" + info.columns[static_cast<size_t>(column - 1)] + "\"";
    marks += "?";
    values.push_back(std::move(value));
  }
  std::string sql = "INSERT INTO \"" + std::string(table) + "\"" +
                    (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
  bool has_counter = info.has_counter;
  GateTurn turn(*this);
  sqlite3_stmt* stmt = Prepare(sql);
  StatementUse use{stmt};
  BindValues(stmt, values);
  StepToEnd(stmt);
  return has_counter ? static_cast<int32_t>(sqlite3_last_insert_rowid(db_)) : 0;
}

bool ImdbConnection::UpdateRow() {
  if (!for_update_ || !result_.HasCurrentRow()) {
    RaiseImdbError("UpdateRow needs the current row of a SELECT ... FOR UPDATE result", kErrNoCurrentRecord);
  }
  // The changed columns (1-based, in order): from the mask when the result
  // is narrow enough for one, which is every table of the store.
  uint64_t mask = 0;
  std::vector<int> wide;
  int narrow[64];
  const int* changed = narrow;
  size_t count = 0;
  if (result_.ChangedMask(&mask)) {
    for (uint64_t rest = mask; rest != 0; rest &= rest - 1) narrow[count++] = std::countr_zero(rest) + 1;
  } else {
    wide = result_.ChangedColumns();
    changed = wide.data();
    count = wide.size();
  }
  if (count == 0) return true;
  auto spell = [&] {
    std::string sql = "UPDATE \"" + update_table_ + "\" SET ";
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) sql += ",";
      sql += "\"" + result_.column(changed[i] - 1).name + "\"=?";
    }
    sql += " WHERE rowid=?";
    return sql;
  };
  sqlite3_stmt* stmt = nullptr;
  if (wide.empty()) {
    // Spelt and prepared once per set of changed columns.
    auto& by_mask = update_sql_[update_table_];
    auto found = by_mask.find(mask);
    if (found == by_mask.end()) found = by_mask.emplace(mask, CachedUpdate{spell()}).first;
    CachedUpdate& update = found->second;
    if (update.stmt == nullptr || update.statement_epoch != statement_epoch_) {
      update.stmt = Prepare(update.sql);
      update.statement_epoch = statement_epoch_;
    }
    stmt = update.stmt;
  } else {
    stmt = Prepare(spell());
  }
  {
    StatementUse use{stmt};
    // Bound straight from the row: its texts stay put until the step is done.
    for (size_t i = 0; i < count; ++i) result_.BindField(stmt, static_cast<int>(i + 1), changed[i]);
    sqlite3_bind_int64(stmt, static_cast<int>(count + 1), result_.CurrentRowid());
    StepToEnd(stmt);
  }
  bool written = sqlite3_changes(db_) == 1;
  // Committed at once, so that a True answer means the row is in the file.
  if (in_transaction_) {
    Commit();
    in_transaction_ = false;
  }
  result_.ClearChanged();
  return written;
}

void ImdbConnection::CloseResult() {
  result_.Clear();
  for_update_ = false;
  update_table_.clear();
  std::string failure;
  if (in_transaction_) {
    in_transaction_ = false;
    try {
      Commit();
    } catch (const platform::BasicError& e) {
      failure = e.description();
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
  }
  if (holds_gate_) ReleaseGate();
  if (!failure.empty()) RaiseImdbError(failure);
}

}  // namespace support
