// The engine side of one store connection: the SQLite handle, its caches of
// translated and prepared statements, the open result and the write turn.
// Not thread-safe: the Imdb object serialises calls.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
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
  const TranslatedSql& Translate(std::string_view sql);
  // A prepared statement from the cache (prepared on first use).
  sqlite3_stmt* Prepare(const std::string& sql);
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
  std::chrono::steady_clock::time_point identity_checked_;
  std::shared_ptr<SharedFile> shared_;
  // The file's generation when proven_ was last valid.
  uint64_t generation_seen_ = 0;
  // SELECTs that Check proved on this file since anything changed; a check
  // of one of them needs no new read of the file.
  std::unordered_set<std::string, TextHash, std::equal_to<>> proven_;
  bool holds_gate_ = false;
  bool in_transaction_ = false;
  bool for_update_ = false;
  std::string update_table_;
  ResultSet result_;
  std::map<int, platform::Variant> staged_insert_;
  TextMap<TranslatedSql> translations_;
  TextMap<sqlite3_stmt*> statements_;
  TextMap<TableInfo> tables_;
  // The UPDATE text of each set of changed columns (a mask) of a table, so a
  // row written again the same way is not spelt out anew.
  TextMap<std::unordered_map<uint64_t, std::string>> update_sql_;
};

}  // namespace support
