#include "support/imdb/result_set.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/basic/conversions.h"
#include "support/imdb/imdb_error.h"

namespace support {
namespace {

bool Contains(const std::string& upper, const char* part) { return upper.find(part) != std::string::npos; }

}  // namespace

ColumnKind ColumnKindOf(const char* declared_type) {
  if (declared_type == nullptr) return ColumnKind::kOther;
  std::string upper;
  for (const char* p = declared_type; *p; ++p) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  if (upper == "BOOL" || upper == "BOOLEAN") return ColumnKind::kBool;
  if (upper == "SMALLINT") return ColumnKind::kSmallInt;
  if (Contains(upper, "INT")) return ColumnKind::kInt;
  if (Contains(upper, "CHAR") || Contains(upper, "TEXT") || Contains(upper, "CLOB")) return ColumnKind::kText;
  if (Contains(upper, "DOUB") || Contains(upper, "REAL") || Contains(upper, "FLOA")) return ColumnKind::kDouble;
  return ColumnKind::kOther;
}

void ResultSet::Clear() {
  open_ = false;
  columns_.reset();
  cells_.clear();
  rowids_.clear();
  text_.clear();
  rows_ = 0;
  current_ = 0;
  changed_.clear();
}

void ResultSet::Fetch(sqlite3_stmt* stmt, bool hidden_rowid) {
  Clear();
  int total = sqlite3_column_count(stmt);
  int visible = hidden_rowid ? total - 1 : total;
  std::shared_ptr<const std::vector<ResultColumn>>& layout = layouts_[stmt];
  if (!layout || layout->size() != static_cast<size_t>(visible)) {
    auto fresh = std::make_shared<std::vector<ResultColumn>>(static_cast<size_t>(visible));
    for (int i = 0; i < visible; ++i) {
      const char* name = sqlite3_column_name(stmt, i);
      (*fresh)[i].name = name ? name : "";
      (*fresh)[i].kind = ColumnKindOf(sqlite3_column_decltype(stmt, i));
    }
    layout = std::move(fresh);
  }
  columns_ = layout;
  for (;;) {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      std::string message = sqlite3_errmsg(sqlite3_db_handle(stmt));
      Clear();
      RaiseImdbError(message);
    }
    for (int i = 0; i < visible; ++i) {
      // One column call per field; the value calls that follow are cheap.
      sqlite3_value* value = sqlite3_column_value(stmt, i);
      Cell& cell = cells_.emplace_back();
      switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER:
          cell.type = CellType::kInteger;
          cell.integer = sqlite3_value_int64(value);
          break;
        case SQLITE_FLOAT:
          cell.type = CellType::kReal;
          cell.real = sqlite3_value_double(value);
          break;
        case SQLITE_NULL:
          break;
        default: {  // text and blobs are kept as their bytes
          const void* bytes = sqlite3_value_blob(value);
          int size = sqlite3_value_bytes(value);
          cell = MakeTextCell(std::string_view(static_cast<const char*>(bytes ? bytes : ""), static_cast<size_t>(size)));
          break;
        }
      }
    }
    if (hidden_rowid) rowids_.push_back(sqlite3_column_int64(stmt, visible));
    ++rows_;
  }
  current_ = rows_;
  changed_.assign(static_cast<size_t>(column_count()), 0);
  open_ = true;
}

ResultSet::Cell ResultSet::MakeTextCell(std::string_view text) {
  Cell cell;
  cell.type = CellType::kText;
  cell.offset = text_.size();
  cell.size = static_cast<uint32_t>(text.size());
  text_.append(text);
  return cell;
}

bool ResultSet::MoveFirst() {
  if (!open_) return false;
  current_ = 0;
  ClearChanged();
  return rows_ > 0;
}

bool ResultSet::MoveNext() {
  if (!open_ || current_ >= rows_) return false;
  ++current_;
  ClearChanged();
  return current_ < rows_;
}

int64_t ResultSet::CurrentRowid() const {
  if (!HasCurrentRow() || current_ >= rowids_.size()) RaiseImdbError("No current record", kErrNoCurrentRecord);
  return rowids_[current_];
}

const ResultSet::Cell& ResultSet::CellAt(int column) const {
  if (!HasCurrentRow()) RaiseImdbError("No current record", kErrNoCurrentRecord);
  if (column < 1 || column > column_count()) {
    RaiseImdbError("column " + std::to_string(column) + " is out of range (the result has " +
                       std::to_string(column_count()) + ")",
                   platform::kErrSubscript);
  }
  return cells_[current_ * static_cast<size_t>(column_count()) + static_cast<size_t>(column - 1)];
}

ResultSet::Cell& ResultSet::MutableCellAt(int column) { return const_cast<Cell&>(CellAt(column)); }

bool ResultSet::FieldIsNull(int column) const { return CellAt(column).type == CellType::kNull; }

bool ResultSet::IntegerField(int column, int64_t* value) const {
  const Cell& cell = CellAt(column);
  if (cell.type != CellType::kInteger) return false;
  *value = cell.integer;
  return true;
}

bool ResultSet::TextField(int column, std::string* value) const {
  const Cell& cell = CellAt(column);
  if (cell.type != CellType::kText) return false;
  value->assign(TextOf(cell));
  return true;
}

void ResultSet::BindField(sqlite3_stmt* stmt, int index, int column) const {
  const Cell& cell = CellAt(column);
  int rc = SQLITE_OK;
  switch (cell.type) {
    case CellType::kNull: rc = sqlite3_bind_null(stmt, index); break;
    case CellType::kInteger: rc = sqlite3_bind_int64(stmt, index, cell.integer); break;
    case CellType::kReal: rc = sqlite3_bind_double(stmt, index, cell.real); break;
    case CellType::kText: {
      std::string_view text = TextOf(cell);
      rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
      break;
    }
  }
  if (rc != SQLITE_OK) RaiseImdbError(sqlite3_errmsg(sqlite3_db_handle(stmt)));
}

platform::Variant ResultSet::Field(int column) const {
  const Cell& cell = CellAt(column);
  ColumnKind kind = (*columns_)[static_cast<size_t>(column - 1)].kind;
  switch (cell.type) {
    case CellType::kNull:
      return platform::Variant::Null();
    case CellType::kText:
      return platform::Variant(TextOf(cell));
    case CellType::kReal:
      if (kind == ColumnKind::kBool) return platform::Variant(cell.real != 0);
      return platform::Variant(cell.real);
    case CellType::kInteger:
      if (kind == ColumnKind::kBool) return platform::Variant(cell.integer != 0);
      if (kind == ColumnKind::kDouble) return platform::Variant(static_cast<double>(cell.integer));
      if (kind == ColumnKind::kSmallInt && cell.integer >= std::numeric_limits<int16_t>::min() &&
          cell.integer <= std::numeric_limits<int16_t>::max()) {
        return platform::Variant(static_cast<int16_t>(cell.integer));
      }
      if (cell.integer >= std::numeric_limits<int32_t>::min() && cell.integer <= std::numeric_limits<int32_t>::max()) {
        return platform::Variant(static_cast<int32_t>(cell.integer));
      }
      return platform::Variant(static_cast<double>(cell.integer));
  }
  return platform::Variant::Null();
}

void ResultSet::SetField(int column, const platform::Variant& value) {
  Cell& cell = MutableCellAt(column);
  using platform::VarType;
  switch (value.vt()) {
    case VarType::kEmpty:
    case VarType::kNull:
      cell = Cell();
      break;
    case VarType::kBoolean:
      cell = Cell();
      cell.type = CellType::kInteger;
      cell.integer = value.BoolValue() ? 1 : 0;
      break;
    case VarType::kByte:
    case VarType::kInteger:
    case VarType::kLong:
      cell = Cell();
      cell.type = CellType::kInteger;
      cell.integer = platform::CLng(value);
      break;
    case VarType::kString:
      cell = MakeTextCell(value.StringValue());
      break;
    default:
      cell = Cell();
      cell.type = CellType::kReal;
      cell.real = platform::CDbl(value);
      break;
  }
  changed_[static_cast<size_t>(column - 1)] = 1;
}

std::vector<int> ResultSet::ChangedColumns() const {
  std::vector<int> out;
  for (size_t i = 0; i < changed_.size(); ++i) {
    if (changed_[i]) out.push_back(static_cast<int>(i + 1));
  }
  return out;
}

bool ResultSet::ChangedMask(uint64_t* mask) const {
  if (changed_.size() > 64) return false;
  *mask = 0;
  for (size_t i = 0; i < changed_.size(); ++i) {
    if (changed_[i]) *mask |= uint64_t{1} << i;
  }
  return true;
}

void ResultSet::ClearChanged() { changed_.assign(static_cast<size_t>(column_count()), 0); }

}  // namespace support
