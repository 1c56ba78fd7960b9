// The in-memory SQL database component of the alert store ("QuiLogic.IMDB"):
// the calls the store makes of it. One object is one connection; a SELECT
// leaves a result open for the row calls; a SELECT ending in " FOR UPDATE"
// holds its row until CloseResult. Failures raise platform::BasicError with
// the engine's own description (number kErrImdbFull when the store is full).
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "platform/com/object.h"

namespace contracts {

inline constexpr std::string_view kImdbProgId = "QuiLogic.IMDB";

// The store reached its size setting (or the disk is full): Basic's "Disk
// full", with the engine's words as the description.
inline constexpr int32_t kErrImdbFull = platform::kErrDiskFull;

// What kind of failure the last one of a connection was.
enum class ImdbFailure {
  kNone,
  // The file cannot be used now but may be later: no file descriptor left,
  // an I/O error, a lock held too long, no memory, no room, no rights.
  kTransient,
  // The engine says the file is damaged: not a database, or pages that fail
  // its checks.
  kDamaged,
  // The statement does not fit the tables as they are (a missing table or
  // column, a bad value).
  kStatement,
};

class ImdbComponent : public platform::com::Object {
 public:
  // The size setting in bytes, for files opened afterwards (0: no cap).
  virtual void SetMaxSize(int64_t bytes) = 0;
  // Opens (creating when missing) the database file; a damaged file raises
  // and leaves the object open but unusable.
  virtual void Open(const std::string& path) = 0;
  virtual void Close() = 0;

  // Runs one statement with the values of its "?" placeholders in order.
  virtual bool Execute(std::string_view sql, std::span<const platform::Variant> params = {}) = 0;
  bool Execute(std::string_view sql, std::initializer_list<platform::Variant> params) {
    return Execute(sql, std::span<const platform::Variant>(params.begin(), params.size()));
  }
  // True when the statement is valid against the tables as they are now.
  virtual bool Check(std::string_view sql) = 0;

  virtual int32_t RowCount() const = 0;
  virtual bool MoveFirst() = 0;
  virtual bool MoveNext() = 0;
  virtual int32_t GetFieldLong(int column) const = 0;
  virtual std::string GetFieldText(int column) const = 0;
  virtual bool GetFieldBool(int column) const = 0;
  virtual double GetFieldDouble(int column) const = 0;
  virtual void SetField(int column, const platform::Variant& value) = 0;
  void SetFieldLong(int column, int32_t value) { SetField(column, platform::Variant(value)); }
  void SetFieldText(int column, std::string_view value) { SetField(column, platform::Variant(value)); }
  void SetFieldBool(int column, bool value) { SetField(column, platform::Variant(value)); }
  void SetFieldDouble(int column, double value) { SetField(column, platform::Variant(value)); }
  // The table's COUNTER value of the new row.
  virtual int32_t InsertRow(std::string_view table) = 0;
  virtual bool UpdateRow() = 0;
  virtual void CloseResult() = 0;
  virtual void ExportTable(std::string_view table, const std::filesystem::path& path, char separator,
                           char record_end) = 0;

  // The kind of the connection's last failure (kTransient when nothing is
  // open): whether a failing file is damaged or only unusable for now.
  virtual ImdbFailure LastFailure() const = 0;
  // Rows the last INSERT, UPDATE or DELETE changed.
  virtual int32_t RowsChanged() const = 0;
};

// Registers the component's class as kImdbProgId with the class registry, so
// that CreateObject makes it. Safe to call any number of times.
void RegisterImdbClass();

// Deletes a database file and the engine's files beside it; failures ignored.
void RemoveImdbFile(const std::filesystem::path& path);
// Moves a database file and its log aside to `path` + `suffix` (+ "-2" ...
// when taken), never replacing a file; its new path, or empty on failure.
std::string MoveImdbFileAside(const std::filesystem::path& path, const std::string& suffix);

// A statement with its "?" placeholders replaced by the values as SQL
// literals, for log lines that show what ran.
std::string SqlWithValues(std::string_view sql, std::span<const platform::Variant> values);

}  // namespace contracts
