// ImdbConnection::ExportTable: a table as delimited text.
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <system_error>

#include "platform/basic/conversions.h"
#include "support/imdb/imdb_connection.h"
#include "support/imdb/imdb_error.h"

namespace support {
namespace {

void AppendField(std::string& out, std::string_view field, char separator, char record_end) {
  bool quote = field.find_first_of(std::string{separator, record_end, '\r', '\n', '"'}) != std::string_view::npos;
  if (!quote) {
    out.append(field);
    return;
  }
  out += '"';
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string FieldText(sqlite3_stmt* stmt, int column, ColumnKind kind) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      return "";
    case SQLITE_INTEGER: {
      int64_t value = sqlite3_column_int64(stmt, column);
      if (kind == ColumnKind::kBool) return value != 0 ? "True" : "False";
      if (kind == ColumnKind::kDouble) return platform::FormatDouble(static_cast<double>(value));
      return std::to_string(value);
    }
    case SQLITE_FLOAT: {
      double value = sqlite3_column_double(stmt, column);
      if (kind == ColumnKind::kBool) return value != 0 ? "True" : "False";
      return platform::FormatDouble(value);
    }
    default: {
      const void* bytes = sqlite3_column_blob(stmt, column);
      return std::string(static_cast<const char*>(bytes ? bytes : ""),
                         static_cast<size_t>(sqlite3_column_bytes(stmt, column)));
    }
  }
}

}  // namespace

void ImdbConnection::ExportTable(std::string_view table, const std::filesystem::path& target, char separator,
                                 char record_end) {
  if (!IsPlainIdentifier(table)) RaiseImdbError("not a table name: " + std::string(table));
  EnsureUsable();
  sqlite3_stmt* stmt = nullptr;
  std::string sql = "SELECT * FROM \"" + std::string(table) + "\" ORDER BY rowid";
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) RaiseEngineError();
  std::string out;
  int columns = sqlite3_column_count(stmt);
  std::vector<ColumnKind> kinds;
  for (int i = 0; i < columns; ++i) {
    if (i > 0) out += separator;
    AppendField(out, sqlite3_column_name(stmt, i), separator, record_end);
    kinds.push_back(ColumnKindOf(sqlite3_column_decltype(stmt, i)));
  }
  out += record_end;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int i = 0; i < columns; ++i) {
      if (i > 0) out += separator;
      AppendField(out, FieldText(stmt, i, kinds[static_cast<size_t>(i)]), separator, record_end);
    }
    out += record_end;
  }
  sqlite3_finalize(stmt);
  if (rc != SQLITE_DONE) RaiseEngineError();

  // Written beside the target and renamed over it, so a reader never sees
  // half a file.
  std::filesystem::path temp = target;
  temp += ".part";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      platform::RaiseError(platform::kErrPathFileAccess, "cannot write " + target.string(), kImdbProgId);
    }
  }
  std::error_code error;
  std::filesystem::rename(temp, target, error);
  if (error) {
    std::filesystem::remove(temp, error);
    platform::RaiseError(platform::kErrPathFileAccess, "cannot write " + target.string(), kImdbProgId);
  }
}

}  // namespace support
