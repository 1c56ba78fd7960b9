#include "platform/registry/sql_statement.h"

namespace platform::registry {

bool SqlError::IsDamage() const {
  int primary = primary_code();
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
}

void CheckSql(sqlite3* db, int rc, std::string_view what) {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
  std::string message(what);
  message += ": ";
  message += db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw SqlError(rc, message);
}

Statement::Statement(sqlite3* db, const char* sql) : db_(db) {
  CheckSql(db_, sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement_, nullptr), sql);
}

Statement::~Statement() { sqlite3_finalize(statement_); }

void Statement::Bind(int index, int64_t value) {
  CheckSql(db_, sqlite3_bind_int64(statement_, index, value), "bind");
}

void Statement::BindText(int index, std::string_view text) {
  // Never a null pointer: SQLite would bind NULL rather than "".
  const char* data = text.data() == nullptr ? "" : text.data();
  CheckSql(db_, sqlite3_bind_text(statement_, index, data, static_cast<int>(text.size()), SQLITE_STATIC), "bind");
}

void Statement::BindBlob(int index, const void* data, size_t size) {
  // A zero-length blob, never NULL: the column is NOT NULL and empty data is data.
  int rc = size == 0 ? sqlite3_bind_zeroblob(statement_, index, 0)
                     : sqlite3_bind_blob64(statement_, index, data, size, SQLITE_STATIC);
  CheckSql(db_, rc, "bind");
}

bool Statement::Step() {
  int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(statement_);
  CheckSql(db_, rc, sqlite3_sql(statement_));
  return false;
}

void Statement::Reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

int64_t Statement::ColumnInt(int column) const { return sqlite3_column_int64(statement_, column); }

std::string_view Statement::ColumnText(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  int size = sqlite3_column_bytes(statement_, column);
  return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text), size);
}

std::string_view Statement::ColumnBlob(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  int size = sqlite3_column_bytes(statement_, column);
  return data == nullptr ? std::string_view() : std::string_view(static_cast<const char*>(data), size);
}

void ExecSql(sqlite3* db, const char* sql) { CheckSql(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql); }

WriteTransaction::WriteTransaction(sqlite3* db) : db_(db) { ExecSql(db_, "BEGIN IMMEDIATE"); }

WriteTransaction::~WriteTransaction() {
  if (open_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void WriteTransaction::Commit() {
  ExecSql(db_, "COMMIT");
  open_ = false;
}

}  // namespace platform::registry
