// The alert store's SQL component ("QuiLogic.IMDB"): a small SQL database
// kept in one file, here a thin layer over SQLite. C++ callers use the
// methods; late-bound callers reach the same members by name.
//
// One object is one connection; each thread uses its own. All connections of
// all processes opened on the same file see the same rows. A SELECT leaves a
// result open for the row calls (MoveFirst, MoveNext, GetField*); a SELECT
// ending in " FOR UPDATE" also takes the database's write lock, so the row
// read, changed with SetField* and written back with UpdateRow is changed
// atomically; CloseResult releases it.
//
//   auto db = std::make_shared<support::Imdb>();
//   db->SetMaxSize(4194304);
//   db->Open(folder + "/imdb.bin");
//   db->Execute("CREATE TABLE SHARED T (Id COUNTER PRIMARY, Name VARCHAR(16) KEY)");
//   db->SetFieldText(2, "x");
//   int32_t id = db->InsertRow("T");
//   db->Execute("SELECT * FROM T WHERE Name=?", {platform::Variant("x")});
//   if (db->MoveFirst()) name = db->GetFieldText(2);
//   db->CloseResult();
//
// The file: an SQLite database in write-ahead-log mode. While connections
// are open the engine keeps "<file>-wal" and "<file>-shm" beside it; when the
// last connection closes the log is folded back in and removed, so at rest
// the database is the one file. Commits are not flushed to the disk one by
// one, but a commit is in the file system as soon as the call returns, so a
// process killed at any point leaves every returned change in the store.
//
// The size setting caps the database: the engine refuses to grow it past
// that many bytes (a write that would needs room raises "database or disk is
// full"), so the file itself never exceeds the setting.
//
// Failures raise platform::BasicError (number kErrImdb, or kErrImdbFull when
// the store is full; the engine's own description, source "QuiLogic.IMDB");
// LastFailure says whether the file is damaged or only unusable for now. See
// imdb_error.h.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "contracts/imdb_component.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"
#include "support/imdb/imdb_error.h"

namespace support {

class ImdbConnection;  // the engine side, in imdb_connection.h

// Registers the class as "QuiLogic.IMDB" with the class registry, so that
// CreateObject makes it. Safe to call any number of times.
void RegisterImdbClass();

class Imdb : public contracts::ImdbComponent {
 public:
  Imdb();
  ~Imdb();
  Imdb(const Imdb&) = delete;
  Imdb& operator=(const Imdb&) = delete;

  // The size setting in bytes, for files opened afterwards (0: no cap).
  void SetMaxSize(int64_t bytes) override;
  int64_t MaxSize() const;

  // Opens (creating when missing, with its folder) the database file. A
  // missing or empty file is an empty database (the engine drops a log left
  // beside a file that is gone). A file that is not a
  // database, or whose pages fail the engine's integrity check, raises here
  // and leaves the object open but unusable: every later statement raises
  // the same description until it is closed.
  void Open(const std::string& path) override;
  // Ends any open result, then closes the file. Never fails.
  void Close() override;
  bool IsOpen() const;
  std::string Path() const;

  // Runs one statement, with the values of its "?" placeholders in order.
  // True when it ran; a SELECT leaves its result open, positioned before the
  // first row. A result still open is closed first.
  bool Execute(std::string_view sql, std::span<const platform::Variant> params = {}) override;
  using contracts::ImdbComponent::Execute;
  // True when the statement is valid against the tables as they are now; a
  // SELECT is also started to prove the tables are readable. Nothing is
  // changed and the open result is kept. Raises with the reason otherwise.
  bool Check(std::string_view sql) override;

  // The open result.
  int32_t RowCount() const override;
  bool MoveFirst() override;
  bool MoveNext() override;
  // Fields of the current row by 1-based column number. A NULL field reads
  // as 0, "" or False; a text is converted as Basic converts it.
  platform::Variant GetField(int column) const;
  int32_t GetFieldLong(int column) const override;
  std::string GetFieldText(int column) const override;
  bool GetFieldBool(int column) const override;
  double GetFieldDouble(int column) const override;
  // Stages a field: while a FOR UPDATE result is open, for its current row
  // (read back by GetField at once, written by UpdateRow; without a current
  // row it raises 3021); otherwise for the next InsertRow.
  void SetField(int column, const platform::Variant& value) override;
  // Inserts a row of the fields staged for insertion (the others stay NULL)
  // and clears them; the table's COUNTER value of the new row, or 0 when the
  // table has none.
  int32_t InsertRow(std::string_view table) override;
  // Writes the staged fields of the current row of a FOR UPDATE result; true
  // when the row was written.
  bool UpdateRow() override;
  // Ends the open result; a FOR UPDATE result commits and releases the lock.
  void CloseResult() override;

  // Writes the table to `path` as delimited text: a first record of column
  // names, then one record per row in rowid order, each record ended by
  // `record_end`. NULL is empty, BOOL columns are "True"/"False", DOUBLE
  // columns are printed as Basic prints numbers; a field holding the
  // separator, the record end, CR, LF or '"' is put in double quotes with
  // its quotes doubled. The file is replaced whole.
  void ExportTable(std::string_view table, const std::filesystem::path& path, char separator,
                   char record_end) override;

  // The kind of the connection's last failure (kTransient when nothing is
  // open): whether a failing file is damaged or only unusable for now.
  ImdbFailure LastFailure() const override;
  // Rows the last INSERT, UPDATE or DELETE changed.
  int32_t RowsChanged() const override;

  // Deletes a database file and the engine's files beside it. Failures are
  // ignored.
  static void RemoveDatabaseFile(const std::filesystem::path& path);
  // Moves a database file and its write-ahead log aside to `path` + `suffix`
  // (+ "-2", "-3" ... when that name is taken), never replacing a file, and
  // deletes the engine's shared-memory file. The new path of the database,
  // or empty when it could not be moved.
  static std::string MoveDatabaseFileAside(const std::filesystem::path& path, const std::string& suffix);

  // Makes every open of this process fail as the engine fails for `fault`
  // (kNone: no fault), for tests of what callers do then.
  enum class OpenFault { kNone, kIoError, kNoFileDescriptors, kLocked, kDamaged };
  static void SetOpenFault(OpenFault fault);

  std::string TypeName() const override { return "IMDB"; }

 protected:
  // Late-bound members carry the names above. Calls that answer also write
  // the answer to a last, optional argument (an out-parameter):
  // Execute(sql[, ok]), Check(sql[, ok]), RowCount([n]), MoveFirst([ok]),
  // MoveNext([ok]), GetField*(column[, value]), InsertRow(table[, counter]),
  // UpdateRow([ok]); ExportTable takes the separator and record end as
  // one-character texts or byte values.
  const platform::com::DispatchTable* Dispatch() const override;

 private:
  ImdbConnection& Connection() const;  // raises when not open

  mutable std::mutex mutex_;
  int64_t max_size_ = 0;
  std::unique_ptr<ImdbConnection> connection_;
};

}  // namespace support
