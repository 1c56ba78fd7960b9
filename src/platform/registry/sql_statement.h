// A thin layer over SQLite for the hive: prepared statements that reset
// themselves, the error they throw, and a write transaction guard.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform::registry {

// A failed SQLite call: the (extended) result code and SQLite's message.
class SqlError : public std::runtime_error {
 public:
  SqlError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
  int code() const { return code_; }
  int primary_code() const { return code_ & 0xff; }
  // The file is not a database, or one whose pages are damaged.
  bool IsDamage() const;

 private:
  int code_;
};

// Throws SqlError for `rc` unless it is SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
void CheckSql(sqlite3* db, int rc, std::string_view what);

class Statement {
 public:
  Statement(sqlite3* db, const char* sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Resets the statement when it goes, ending the read it holds open.
  class Use {
   public:
    explicit Use(Statement& statement) : statement_(statement) {}
    ~Use() { statement_.Reset(); }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

   private:
    Statement& statement_;
  };

  // Text and blobs are bound without copying: they must outlive the step.
  void Bind(int index, int64_t value);
  void BindText(int index, std::string_view text);
  void BindBlob(int index, const void* data, size_t size);

  // True while there is a row; false when done. Throws SqlError.
  bool Step();
  void Reset();

  int64_t ColumnInt(int column) const;
  std::string_view ColumnText(int column) const;
  std::string_view ColumnBlob(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left without Commit().
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void Commit();

 private:
  sqlite3* db_;
  bool open_ = true;
};

// Runs SQL without results; throws SqlError.
void ExecSql(sqlite3* db, const char* sql);

}  // namespace platform::registry
