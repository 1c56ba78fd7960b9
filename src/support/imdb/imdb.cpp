#include "support/imdb/imdb.h"

#include <climits>
#include <system_error>

#include <sqlite3.h>

#include "platform/basic/conversions.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/rename_keeping.h"
#include "support/imdb/imdb_connection.h"
#include "support/imdb/imdb_error.h"
#include "support/imdb/shared_file.h"
#include "support/imdb/sql_dialect.h"

namespace support {

Imdb::Imdb() = default;

Imdb::~Imdb() { Close(); }

void Imdb::SetMaxSize(int64_t bytes) {
  std::lock_guard lock(mutex_);
  max_size_ = bytes < 0 ? 0 : bytes;
}

int64_t Imdb::MaxSize() const {
  std::lock_guard lock(mutex_);
  return max_size_;
}

ImdbConnection& Imdb::Connection() const {
  if (!connection_) RaiseImdbError("no database is open");
  return *connection_;
}

void Imdb::Open(const std::string& path) {
  std::unique_ptr<ImdbConnection> old;
  std::lock_guard lock(mutex_);
  old.swap(connection_);
  old.reset();
  if (path.empty()) RaiseImdbError("no database file given");
  connection_ = std::make_unique<ImdbConnection>(path, max_size_);
  if (!connection_->broken_reason().empty()) RaiseImdbError(connection_->broken_reason());
}

void Imdb::Close() {
  std::unique_ptr<ImdbConnection> old;
  std::lock_guard lock(mutex_);
  old.swap(connection_);
  // The connection's destructor commits what is pending and never throws.
}

bool Imdb::IsOpen() const {
  std::lock_guard lock(mutex_);
  return connection_ != nullptr;
}

std::string Imdb::Path() const {
  std::lock_guard lock(mutex_);
  return connection_ ? connection_->path() : std::string();
}

bool Imdb::Execute(std::string_view sql, std::span<const platform::Variant> params) {
  std::lock_guard lock(mutex_);
  return Connection().Execute(sql, params);
}

bool Imdb::Check(std::string_view sql) {
  std::lock_guard lock(mutex_);
  return Connection().Check(sql);
}

int32_t Imdb::RowCount() const {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->result().open()) return 0;
  return connection_->result().row_count();
}

bool Imdb::MoveFirst() {
  std::lock_guard lock(mutex_);
  return connection_ && connection_->result().MoveFirst();
}

bool Imdb::MoveNext() {
  std::lock_guard lock(mutex_);
  return connection_ && connection_->result().MoveNext();
}

platform::Variant Imdb::GetField(int column) const {
  std::lock_guard lock(mutex_);
  return Connection().result().Field(column);
}

int32_t Imdb::GetFieldLong(int column) const {
  std::lock_guard lock(mutex_);
  const ResultSet& result = Connection().result();
  int64_t whole = 0;
  if (result.IntegerField(column, &whole) && whole >= INT32_MIN && whole <= INT32_MAX) {
    return static_cast<int32_t>(whole);
  }
  if (result.FieldIsNull(column)) return 0;
  return platform::CLng(result.Field(column));
}

std::string Imdb::GetFieldText(int column) const {
  std::lock_guard lock(mutex_);
  const ResultSet& result = Connection().result();
  std::string text;
  if (result.TextField(column, &text)) return text;
  if (result.FieldIsNull(column)) return {};
  return platform::CStr(result.Field(column));
}

bool Imdb::GetFieldBool(int column) const {
  std::lock_guard lock(mutex_);
  const ResultSet& result = Connection().result();
  if (result.FieldIsNull(column)) return false;
  return platform::CBool(result.Field(column));
}

double Imdb::GetFieldDouble(int column) const {
  std::lock_guard lock(mutex_);
  const ResultSet& result = Connection().result();
  if (result.FieldIsNull(column)) return 0;
  return platform::CDbl(result.Field(column));
}

void Imdb::SetField(int column, const platform::Variant& value) {
  std::lock_guard lock(mutex_);
  Connection().SetField(column, value);
}

int32_t Imdb::InsertRow(std::string_view table) {
  std::lock_guard lock(mutex_);
  return Connection().InsertRow(table);
}

bool Imdb::UpdateRow() {
  std::lock_guard lock(mutex_);
  return Connection().UpdateRow();
}

void Imdb::CloseResult() {
  std::lock_guard lock(mutex_);
  if (connection_) connection_->CloseResult();
}

void Imdb::ExportTable(std::string_view table, const std::filesystem::path& path, char separator, char record_end) {
  std::lock_guard lock(mutex_);
  Connection().ExportTable(table, path, separator, record_end);
}

ImdbFailure Imdb::LastFailure() const {
  std::lock_guard lock(mutex_);
  return connection_ ? connection_->last_failure() : ImdbFailure::kTransient;
}

int32_t Imdb::RowsChanged() const {
  std::lock_guard lock(mutex_);
  return connection_ ? connection_->rows_changed() : 0;
}

void Imdb::SetOpenFault(OpenFault fault) {
  switch (fault) {
    case OpenFault::kNone: ImdbConnection::SetOpenFault(0); break;
    case OpenFault::kIoError: ImdbConnection::SetOpenFault(SQLITE_IOERR); break;
    case OpenFault::kNoFileDescriptors: ImdbConnection::SetOpenFault(SQLITE_CANTOPEN); break;
    case OpenFault::kLocked: ImdbConnection::SetOpenFault(SQLITE_BUSY); break;
    case OpenFault::kDamaged: ImdbConnection::SetOpenFault(SQLITE_NOTADB); break;
  }
}

std::string Imdb::MoveDatabaseFileAside(const std::filesystem::path& path, const std::string& suffix) {
  // Connections of this process notice at once that their file is gone.
  SharedFile::ForFile(path.string())->Bump();
  std::string aside;
  for (int attempt = 1; attempt <= 100 && aside.empty(); ++attempt) {
    std::string candidate = path.string() + suffix + (attempt > 1 ? "-" + std::to_string(attempt) : "");
    if (platform::fs::RenameKeeping(path.string(), candidate)) aside = std::move(candidate);
    else if (!platform::fs::PathExists(candidate)) break;  // the move itself failed
  }
  if (aside.empty()) return {};
  // The log holds commits not yet folded into the file: it goes with it.
  for (const char* log : {"-wal", "-journal"}) {
    std::string from = path.string() + log;
    if (platform::fs::PathExists(from)) platform::fs::RenameKeeping(from, aside + log);
  }
  std::error_code ignored;
  std::filesystem::remove(path.string() + "-shm", ignored);
  return aside;
}

void Imdb::RemoveDatabaseFile(const std::filesystem::path& path) {
  // Connections of this process notice at once that their file is gone.
  SharedFile::ForFile(path.string())->Bump();
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    std::filesystem::path file = path;
    file += suffix;
    std::filesystem::remove(file, ignored);
  }
}

}  // namespace support

namespace contracts {

void RegisterImdbClass() { support::RegisterImdbClass(); }

void RemoveImdbFile(const std::filesystem::path& path) { support::Imdb::RemoveDatabaseFile(path); }

std::string MoveImdbFileAside(const std::filesystem::path& path, const std::string& suffix) {
  return support::Imdb::MoveDatabaseFileAside(path, suffix);
}

std::string SqlWithValues(std::string_view sql, std::span<const platform::Variant> values) {
  return support::SqlWithValues(sql, values);
}

}  // namespace contracts
