// Outside text as a statement of the alert store's SQL dialect.
//
// A statement translates or is refused with the store's error (440), never
// anything else. What must hold for a translation:
//   - no statement handed to SQLite holds a second one (SQLite would run it:
//     schema statements go through sqlite3_exec);
//   - FOR UPDATE reads whole rows of the named table, with the rowid last.
// And for any text, QuoteSqlText gives a literal SQLite reads back as the
// same text.
#include <sqlite3.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/err.h"
#include "platform/basic/variant.h"
#include "support/imdb/sql_dialect.h"

namespace {

// True when SQLite sees a statement end (a ';' outside texts and comments)
// anywhere in `sql`.
bool HoldsStatementEnd(const std::string& sql) {
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] == ';' && sqlite3_complete(sql.substr(0, i + 1).c_str())) return true;
  }
  return false;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != std::toupper(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

sqlite3* Memory() {
  static sqlite3* db = [] {
    sqlite3* opened = nullptr;
    if (sqlite3_open(":memory:", &opened) != SQLITE_OK) __builtin_trap();
    return opened;
  }();
  return db;
}

void CheckQuoted(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return;
  const std::string sql = "SELECT " + support::QuoteSqlText(text);
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(Memory(), sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) != SQLITE_OK) __builtin_trap();
  if (*tail != '\0' || sqlite3_step(stmt) != SQLITE_ROW) __builtin_trap();
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, 0));
  const std::string_view read(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
  if (read != text) __builtin_trap();
  sqlite3_finalize(stmt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  try {
    const support::TranslatedSql translated = support::TranslateSql(sql);
    if (translated.statements.empty()) __builtin_trap();
    for (const std::string& statement : translated.statements) {
      if (HoldsStatementEnd(statement)) __builtin_trap();
    }
    if (translated.for_update &&
        (translated.kind != support::SqlKind::kSelect || !support::IsPlainIdentifier(translated.table) ||
         !StartsWithNoCase(translated.statements.front(), "SELECT *, rowid FROM "))) {
      __builtin_trap();
    }
    if ((translated.kind == support::SqlKind::kCreateTable || translated.kind == support::SqlKind::kDropTable) &&
        !support::IsPlainIdentifier(translated.table)) {
      __builtin_trap();
    }
  } catch (const platform::BasicError& error) {
    if (error.number() != platform::kErrAutomation || error.description().empty()) __builtin_trap();
  }
  const std::vector<platform::Variant> values{platform::Variant(std::string(sql)), platform::Variant(),
                                              platform::Variant(3)};
  (void)support::SqlWithValues(sql, values);
  CheckQuoted(sql);
  return 0;
}
