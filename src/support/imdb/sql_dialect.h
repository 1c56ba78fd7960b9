// The store's SQL dialect and how it maps onto SQLite.
//
// The dialect is a small subset:
//   CREATE TABLE [SHARED] name (col type [PRIMARY] [[UNIQUE] KEY], ...)
//     types COUNTER, VARCHAR(n), SMALLINT, INT, DOUBLE, TEXT, BOOL
//   SELECT * FROM name [WHERE a=x AND b=y] [ORDER BY c [DESC]] [FOR UPDATE]
//   DELETE FROM name WHERE ...
//   UPDATE name SET ... WHERE ...
//   DROP TABLE name
// Values may be written inline or as "?" placeholders bound by the caller.
//
// How it maps:
//   SHARED table        an ordinary table of the database file (every
//                       connection sees the same rows); without SHARED, a
//                       TEMP table private to the connection
//   COUNTER [PRIMARY]   INTEGER PRIMARY KEY AUTOINCREMENT
//   other types         kept as declared (SQLite's affinity rules give
//                       VARCHAR/TEXT text, SMALLINT/INT integer, DOUBLE real,
//                       BOOL numeric); VARCHAR(n) does not cut texts
//   KEY / UNIQUE KEY    CREATE [UNIQUE] INDEX "<table>_<column>"
//   FOR UPDATE          the trailing words removed; the statement is marked so
//                       the component runs it inside a write transaction and
//                       also fetches the rowid of each row
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/basic/variant.h"

namespace support {

enum class SqlKind { kCreateTable, kDropTable, kSelect, kInsert, kUpdate, kDelete };

struct TranslatedSql {
  SqlKind kind = SqlKind::kSelect;
  // The SQLite statements, run in order (more than one only for CREATE TABLE).
  std::vector<std::string> statements;
  // SELECT ... FOR UPDATE: the rowid is fetched as the last result column.
  bool for_update = false;
  // The table a FOR UPDATE selects from, or the table a CREATE/DROP names.
  std::string table;
};

// Translates one statement of the dialect. Raises (BasicError, number 440)
// with a clear description for statements outside the subset.
TranslatedSql TranslateSql(std::string_view sql);

// A text as an SQL string literal: 'it''s'.
std::string QuoteSqlText(std::string_view text);

// The statement with each "?" placeholder (outside quotes) replaced by its
// value written as an SQL literal (texts quoted, Null as NULL): for log lines
// that show what ran. Placeholders without a value stay "?".
std::string SqlWithValues(std::string_view sql, std::span<const platform::Variant> values);

// True when `name` is a plain identifier (letter or '_', then letters, digits
// or '_'), the only table and column names the dialect takes.
bool IsPlainIdentifier(std::string_view name);

}  // namespace support
