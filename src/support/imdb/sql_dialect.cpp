#include "support/imdb/sql_dialect.h"

#include <cctype>

#include "platform/basic/conversions.h"
#include "support/imdb/imdb_error.h"

namespace support {
namespace {

enum class TokenType { kWord, kNumber, kText, kQuotedName, kSymbol };

struct Token {
  TokenType type;
  std::string_view text;  // as written (quotes included)
  size_t offset;
};

bool IsWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool WordIs(const Token& token, std::string_view word) {
  if (token.type != TokenType::kWord || token.text.size() != word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(token.text[i])) != word[i]) return false;
  }
  return true;
}

bool SymbolIs(const Token& token, char c) {
  return token.type == TokenType::kSymbol && token.text.size() == 1 && token.text[0] == c;
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
      continue;
    }
    // Comments are blanks to SQLite; a quote or ';' inside one is not ours
    // to read (an unclosed block comment runs to the end, as in SQLite).
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const size_t line_end = sql.find('\n', i);
      i = line_end == std::string_view::npos ? sql.size() : line_end + 1;
      continue;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const size_t close = sql.find("*/", i + 2);
      i = close == std::string_view::npos ? sql.size() : close + 2;
      continue;
    }
    size_t start = i;
    if (IsWordStart(c)) {
      while (i < sql.size() && IsWordChar(sql[i])) ++i;
      tokens.push_back({TokenType::kWord, sql.substr(start, i - start), start});
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < sql.size() && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      while (i < sql.size() && (IsWordChar(sql[i]) || sql[i] == '.')) ++i;
      tokens.push_back({TokenType::kNumber, sql.substr(start, i - start), start});
    } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
      char close = c == '[' ? ']' : c;
      ++i;
      bool closed = false;
      while (i < sql.size()) {
        if (sql[i] == close) {
          // A doubled quote inside a quoted text stands for one quote.
          if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        ++i;
      }
      if (!closed) RaiseImdbError("unterminated quoted text in SQL statement");
      tokens.push_back({c == '\'' ? TokenType::kText : TokenType::kQuotedName, sql.substr(start, i - start), start});
    } else {
      ++i;
      tokens.push_back({TokenType::kSymbol, sql.substr(start, 1), start});
    }
  }
  return tokens;
}

std::string UpperWord(std::string_view word) {
  std::string out(word);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string QuoteName(std::string_view name) { return "\"" + std::string(name) + "\""; }

std::string_view ExpectName(const std::vector<Token>& tokens, size_t at, std::string_view what) {
  if (at >= tokens.size() || tokens[at].type != TokenType::kWord || !IsPlainIdentifier(tokens[at].text)) {
    RaiseImdbError("expected " + std::string(what) + " name in SQL statement");
  }
  return tokens[at].text;
}

// One column definition: name, type words and marks up to the next comma.
struct ColumnDef {
  std::string name;
  std::string sqlite_type;
  bool counter = false;
  bool primary = false;
  bool key = false;
  bool unique = false;
};

ColumnDef ParseColumn(const std::vector<Token>& tokens, size_t begin, size_t end) {
  ColumnDef column;
  column.name = std::string(ExpectName(tokens, begin, "column"));
  size_t at = begin + 1;
  if (at >= end || tokens[at].type != TokenType::kWord) {
    RaiseImdbError("column " + column.name + " has no type");
  }
  std::string type = UpperWord(tokens[at].text);
  ++at;
  if (type == "COUNTER") {
    column.counter = true;
    column.sqlite_type = "INTEGER PRIMARY KEY AUTOINCREMENT";
  } else if (type == "VARCHAR") {
    // VARCHAR(n): the length is kept in the declared type only.
    if (at < end && SymbolIs(tokens[at], '(')) {
      if (at + 2 >= end || tokens[at + 1].type != TokenType::kNumber || !SymbolIs(tokens[at + 2], ')')) {
        RaiseImdbError("column " + column.name + ": VARCHAR needs a length, as in VARCHAR(16)");
      }
      column.sqlite_type = "VARCHAR(" + std::string(tokens[at + 1].text) + ")";
      at += 3;
    } else {
      column.sqlite_type = "VARCHAR";
    }
  } else if (type == "SMALLINT" || type == "INT" || type == "DOUBLE" || type == "TEXT" || type == "BOOL") {
    column.sqlite_type = type;
  } else {
    RaiseImdbError("column " + column.name + ": unsupported type " + std::string(tokens[at - 1].text));
  }
  for (; at < end; ++at) {
    if (WordIs(tokens[at], "PRIMARY")) {
      column.primary = true;
    } else if (WordIs(tokens[at], "UNIQUE")) {
      if (at + 1 >= end || !WordIs(tokens[at + 1], "KEY")) {
        RaiseImdbError("column " + column.name + ": UNIQUE must be followed by KEY");
      }
      column.unique = true;
      column.key = true;
      ++at;
    } else if (WordIs(tokens[at], "KEY")) {
      column.key = true;
    } else {
      RaiseImdbError("column " + column.name + ": unexpected " + std::string(tokens[at].text));
    }
  }
  return column;
}

TranslatedSql TranslateCreate(const std::vector<Token>& tokens) {
  // CREATE TABLE [SHARED] name ( ... )
  size_t at = 2;
  bool shared = false;
  if (at < tokens.size() && WordIs(tokens[at], "SHARED")) {
    shared = true;
    ++at;
  }
  TranslatedSql out;
  out.kind = SqlKind::kCreateTable;
  out.table = std::string(ExpectName(tokens, at, "table"));
  ++at;
  if (at >= tokens.size() || !SymbolIs(tokens[at], '(') || !SymbolIs(tokens.back(), ')')) {
    RaiseImdbError("CREATE TABLE " + out.table + " needs a column list in parentheses");
  }
  size_t list_end = tokens.size() - 1;
  std::vector<ColumnDef> columns;
  size_t begin = at + 1;
  int depth = 0;
  for (size_t i = begin; i <= list_end; ++i) {
    if (i < list_end && SymbolIs(tokens[i], '(')) ++depth;
    if (i < list_end && SymbolIs(tokens[i], ')')) --depth;
    if (i == list_end || (depth == 0 && SymbolIs(tokens[i], ','))) {
      if (i == begin) RaiseImdbError("CREATE TABLE " + out.table + ": empty column definition");
      columns.push_back(ParseColumn(tokens, begin, i));
      begin = i + 1;
    }
  }
  std::string create = shared ? "CREATE TABLE " : "CREATE TEMP TABLE ";
  create += QuoteName(out.table) + " (";
  int counters = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& column = columns[i];
    if (column.counter && ++counters > 1) RaiseImdbError("a table can have only one COUNTER column");
    if (i > 0) create += ", ";
    create += QuoteName(column.name) + " " + column.sqlite_type;
    if (column.primary && !column.counter) create += " PRIMARY KEY";
  }
  create += ")";
  out.statements.push_back(std::move(create));
  std::string schema = shared ? "" : "temp.";
  for (const ColumnDef& column : columns) {
    if (!column.key || column.counter) continue;
    out.statements.push_back(std::string(column.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") + schema +
                             QuoteName(out.table + "_" + column.name) + " ON " + QuoteName(out.table) + " (" +
                             QuoteName(column.name) + ")");
  }
  return out;
}

}  // namespace

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty() || !IsWordStart(name[0])) return false;
  for (char c : name) {
    if (!IsWordChar(c)) return false;
  }
  return true;
}

std::string QuoteSqlText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

std::string SqlWithValues(std::string_view sql, std::span<const platform::Variant> values) {
  std::string out;
  size_t next = 0;
  char quote = 0;
  for (char c : sql) {
    if (quote != 0) {
      if (c == quote) quote = 0;  // a doubled quote closes and reopens: same text
      out += c;
      continue;
    }
    if (c == '\'' || c == '"') quote = c;
    if (c != '?' || next >= values.size()) {
      out += c;
      continue;
    }
    const platform::Variant& value = values[next++];
    if (value.IsNull() || value.IsEmpty()) {
      out += "NULL";
    } else if (value.IsString()) {
      out += QuoteSqlText(value.StringValue());
    } else if (value.IsBoolean()) {
      out += value.BoolValue() ? "1" : "0";
    } else {
      try {
        out += platform::CStr(value);
      } catch (...) {
        out += "?";
      }
    }
  }
  return out;
}

TranslatedSql TranslateSql(std::string_view sql) {
  std::vector<Token> tokens = Tokenize(sql);
  while (!tokens.empty() && SymbolIs(tokens.back(), ';')) tokens.pop_back();
  if (tokens.empty()) RaiseImdbError("empty SQL statement");
  for (const Token& token : tokens) {
    if (SymbolIs(token, ';')) RaiseImdbError("only one SQL statement may be given at a time");
  }
  const Token& first = tokens[0];
  if (WordIs(first, "CREATE")) {
    if (tokens.size() < 2 || !WordIs(tokens[1], "TABLE")) RaiseImdbError("only CREATE TABLE is supported");
    return TranslateCreate(tokens);
  }
  // The other statements go to SQLite as written, up to their last token.
  size_t end = tokens.back().offset + tokens.back().text.size();
  TranslatedSql out;
  if (WordIs(first, "DROP")) {
    if (tokens.size() != 3 || !WordIs(tokens[1], "TABLE")) RaiseImdbError("DROP needs the form DROP TABLE name");
    out.kind = SqlKind::kDropTable;
    out.table = std::string(ExpectName(tokens, 2, "table"));
    out.statements.push_back("DROP TABLE " + QuoteName(out.table));
    return out;
  }
  if (WordIs(first, "SELECT")) {
    out.kind = SqlKind::kSelect;
    size_t n = tokens.size();
    if (n >= 3 && WordIs(tokens[n - 2], "FOR") && WordIs(tokens[n - 1], "UPDATE")) {
      // Only whole rows of one table can be taken for update.
      if (n < 6 || !SymbolIs(tokens[1], '*') || !WordIs(tokens[2], "FROM")) {
        RaiseImdbError("FOR UPDATE needs the form SELECT * FROM table ...");
      }
      out.for_update = true;
      out.table = std::string(ExpectName(tokens, 3, "table"));
      end = tokens[n - 3].offset + tokens[n - 3].text.size();
      out.statements.push_back("SELECT *, rowid " + std::string(sql.substr(tokens[2].offset, end - tokens[2].offset)));
      return out;
    }
  } else if (WordIs(first, "DELETE")) {
    out.kind = SqlKind::kDelete;
  } else if (WordIs(first, "UPDATE")) {
    out.kind = SqlKind::kUpdate;
  } else if (WordIs(first, "INSERT")) {
    out.kind = SqlKind::kInsert;
  } else {
    RaiseImdbError("unsupported SQL statement: " + std::string(first.text));
  }
  out.statements.push_back(std::string(sql.substr(first.offset, end - first.offset)));
  return out;
}

}  // namespace support
