// The engine side of one store connection: the SQLite handle, its caches of
// translated and prepared statements, the open result and the write turn.
// Not thread-safe: the Imdb object serialises calls.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/basic/variant.h"
#include "support/imdb/imdb_error.h"
#include "support/imdb/result_set.h"
#include "support/imdb/sql_dialect.h"

struct sqlite3;
struct sqlite3_stmt;

namespace support {

class SharedFile;

// Hashing that lets a string_view find a string key without a copy.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};
template <class Value>
using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

class ImdbConnection {
 public:
  // Opens the file. A failure leaves the connection unusable, with the
  // reason in broken_reason(); Close() still works.
  ImdbConnection(std::string path, int64_t max_size);
  ~ImdbConnection();
  ImdbConnection(const ImdbConnection&) = delete;
  ImdbConnection& operator=(const ImdbConnection&) = delete;

  const std::string& path() const { return path_; }
  const std::string& broken_reason() const { return broken_; }
  ImdbFailure last_failure() const { return last_failure_; }
  int32_t rows_changed() const { return rows_changed_; }

  // Every open of the process fails with this engine result code (0: none).
  static void SetOpenFault(int engine_code);

  bool Execute(std::string_view sql, std::span<const platform::Variant> params);
  bool Check(std::string_view sql);
  const ResultSet& result() const { return result_; }
  ResultSet& result() { return result_; }
  void SetField(int column, const platform::Variant& value);
  int32_t InsertRow(std::string_view table);
  bool UpdateRow();
  // Commits a FOR UPDATE result and gives up the write turn. Raises when the
  // commit failed (the result is closed all the same).
  void CloseResult();
  void ExportTable(std::string_view table, const std::filesystem::path& target, char separator, char record_end);

 private:
  struct TableInfo {
    std::vector<std::string> columns;
    bool has_counter = false;
  };
  // A statement of the dialect as it was translated, with what is known
  // about it: the prepared statement of its first SQLite statement (valid
  // while `statement_epoch` is the connection's), and whether Check proved
  // it (while `proven_epoch` is the connection's).
  struct CachedSql {
    TranslatedSql translated;
    sqlite3_stmt* stmt = nullptr;
    uint64_t statement_epoch = 0;
    uint64_t proven_epoch = 0;
  };
  // An UPDATE spelt for one set of changed columns, and its statement.
  struct CachedUpdate {
    std::string sql;
    sqlite3_stmt* stmt = nullptr;
    uint64_t statement_epoch = 0;
  };
  class GateTurn;

  void OpenFile();
  void CloseFile();
  // Raises when the connection is unusable; reopens when the file at the
  // path was replaced (another connection rebuilt it).
  void EnsureUsable();
  // Makes the connection unusable for the reason, remembering its kind.
  void Break(std::string reason, ImdbFailure kind);
  // Raises the engine's last error. An error that says the file is damaged
  // also makes the connection unusable and tells the other connections.
  [[noreturn]] void RaiseEngineError();
  void NoteEngineFailure();
  // Fills the result from a bound statement; failures as RaiseEngineError.
  void FetchResult(sqlite3_stmt* stmt, bool hidden_rowid);
  CachedSql& Translate(std::string_view sql);
  // The prepared statement of a translation's first statement.
  sqlite3_stmt* StatementOf(CachedSql& cached);
  // A prepared statement from the cache (prepared on first use).
  sqlite3_stmt* Prepare(const std::string& sql);
  // Finalizes every cached statement; the pointers kept beside
  // translations, updates and transactions turn stale with them.
  void ForgetStatements();
  // The transaction statements, prepared once per statement epoch.
  sqlite3_stmt* TransactionStatement(sqlite3_stmt*& slot, const char* sql);
  void Begin();
  void Commit();
  // Forgets what Check proved: something changed that could change it.
  void ForgetProven() { ++proven_epoch_; }
  // Runs a statement without results or parameters.
  void Run(const std::string& sql);
  // Steps a bound statement to its end and resets it.
  void StepToEnd(sqlite3_stmt* stmt);
  const TableInfo& Table(std::string_view table);
  void AcquireGate();
  void ReleaseGate();

  std::string path_;
  int64_t max_size_ = 0;
  sqlite3* db_ = nullptr;
  std::string broken_;
  ImdbFailure broken_kind_ = ImdbFailure::kNone;
  ImdbFailure last_failure_ = ImdbFailure::kNone;
  int32_t rows_changed_ = 0;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  // When the path's identity was last looked at (coarse monotonic clock, ns).
  int64_t identity_checked_ = 0;
  std::shared_ptr<SharedFile> shared_;
  // The file's generation when proven_ was last valid.
  uint64_t generation_seen_ = 0;
  // A SELECT that Check proved on this file since anything changed (its
  // translation holds this epoch) needs no new read of the file.
  uint64_t proven_epoch_ = 1;
  // Bumped whenever cached statements are finalized.
  uint64_t statement_epoch_ = 1;
  sqlite3_stmt* begin_ = nullptr;
  sqlite3_stmt* commit_ = nullptr;
  bool holds_gate_ = false;
  bool in_transaction_ = false;
  bool for_update_ = false;
  std::string update_table_;
  ResultSet result_;
  std::map<int, platform::Variant> staged_insert_;
  TextMap<CachedSql> translations_;
  // The translations last looked up, by where the caller's text lies: a
  // caller passing the same constant text again finds it with one compare
  // instead of hashing it. Emptied with translations_.
  struct RecentSql {
    const std::string* text = nullptr;  // the key in translations_
    CachedSql* cached = nullptr;
  };
  static constexpr size_t kRecentSlots = 16;
  RecentSql recent_[kRecentSlots];
  TextMap<sqlite3_stmt*> statements_;
  TextMap<TableInfo> tables_;
  // The UPDATE text of each set of changed columns (a mask) of a table, so a
  // row written again the same way is not spelt out anew.
  TextMap<std::unordered_map<uint64_t, CachedUpdate>> update_sql_;
};

}  // namespace support
