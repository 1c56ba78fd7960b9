// The rows of an open result, fetched whole when the statement runs, with a
// cursor and the fields staged for a row taken FOR UPDATE.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/basic/variant.h"

struct sqlite3_stmt;

namespace support {

// What a column was declared as; decides the Variant type a field reads as.
enum class ColumnKind : uint8_t { kOther, kText, kSmallInt, kInt, kBool, kDouble };

ColumnKind ColumnKindOf(const char* declared_type);

struct ResultColumn {
  std::string name;
  ColumnKind kind = ColumnKind::kOther;
};

class ResultSet {
 public:
  // Takes the column layout of `stmt` and steps it to the end, keeping every
  // row. `hidden_rowid`: the last column is the rowid, kept apart. Raises
  // with the engine's description when a step fails (nothing is kept then).
  void Fetch(sqlite3_stmt* stmt, bool hidden_rowid);
  void Clear();
  // Drops the remembered column layouts (statements were finalized, or the
  // tables may have changed).
  void ForgetLayouts() { layouts_.clear(); }

  bool open() const { return open_; }
  int32_t row_count() const { return static_cast<int32_t>(rows_); }
  int column_count() const { return columns_ ? static_cast<int>(columns_->size()) : 0; }
  const ResultColumn& column(int index0) const { return (*columns_)[index0]; }

  bool MoveFirst();
  bool MoveNext();
  bool HasCurrentRow() const { return open_ && current_ < rows_; }
  int64_t CurrentRowid() const;

  // The field of the current row (1-based column), as a Variant: NULL is
  // Null; integers are Integer, Long or Double by size; BOOL columns read as
  // Boolean. Raises 3021 without a current row, 9 for a bad column number.
  platform::Variant Field(int column) const;
  bool FieldIsNull(int column) const;
  // The field as a whole number when it is stored as one (no conversion).
  bool IntegerField(int column, int64_t* value) const;
  // The field's bytes when it is stored as text (no conversion).
  bool TextField(int column, std::string* value) const;
  // Binds the field of the current row to parameter `index` of `stmt`, as it
  // is stored; a text stays in this result, which must outlive the step.
  void BindField(sqlite3_stmt* stmt, int index, int column) const;
  // Replaces a field of the current row and marks it changed.
  void SetField(int column, const platform::Variant& value);
  // Columns (1-based) changed since the row was fetched or last written.
  std::vector<int> ChangedColumns() const;
  // The same as a mask (bit i for column i + 1); false when the result has
  // more columns than the mask holds.
  bool ChangedMask(uint64_t* mask) const;
  void ClearChanged();

 private:
  enum class CellType : uint8_t { kNull, kInteger, kReal, kText };
  struct Cell {
    CellType type = CellType::kNull;
    uint32_t size = 0;  // text bytes
    union {
      int64_t integer;
      double real;
      uint64_t offset;  // text: where in text_ it starts
    };
    Cell() : integer(0) {}
  };

  const Cell& CellAt(int column) const;
  Cell& MutableCellAt(int column);
  std::string_view TextOf(const Cell& cell) const { return std::string_view(text_).substr(cell.offset, cell.size); }
  Cell MakeTextCell(std::string_view text);

  bool open_ = false;
  // Shared with the layout kept for the statement: a result of a statement
  // run again costs no copy of its column names.
  std::shared_ptr<const std::vector<ResultColumn>> columns_;
  // Column layouts by statement, so a statement run again skips reading them.
  std::unordered_map<sqlite3_stmt*, std::shared_ptr<const std::vector<ResultColumn>>> layouts_;
  std::vector<Cell> cells_;  // rows_ * columns_.size(), row by row
  std::vector<int64_t> rowids_;
  std::string text_;
  size_t rows_ = 0;
  size_t current_ = 0;  // == rows_ when before the first or past the last
  std::vector<uint8_t> changed_;  // 1 for a changed column
};

}  // namespace support
