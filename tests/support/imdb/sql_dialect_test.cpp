#include "support/imdb/sql_dialect.h"

#include <gtest/gtest.h>

#include "platform/basic/err.h"

namespace support {
namespace {

using platform::Variant;

TEST(SqlDialectTest, CreateTableSharedMapsTypesAndKeys) {
  TranslatedSql t = TranslateSql(
      "CREATE TABLE SHARED Alerts (AlertIndex COUNTER PRIMARY, Store VARCHAR(16) KEY, Severity SMALLINT, "
      "Summary TEXT, UserProc BOOL, Stamp DOUBLE, Age INT)");
  EXPECT_EQ(t.kind, SqlKind::kCreateTable);
  EXPECT_EQ(t.table, "Alerts");
  ASSERT_EQ(t.statements.size(), 2u);
  EXPECT_EQ(t.statements[0],
            "CREATE TABLE \"Alerts\" (\"AlertIndex\" INTEGER PRIMARY KEY AUTOINCREMENT, \"Store\" VARCHAR(16), "
            "\"Severity\" SMALLINT, \"Summary\" TEXT, \"UserProc\" BOOL, \"Stamp\" DOUBLE, \"Age\" INT)");
  EXPECT_EQ(t.statements[1], "CREATE INDEX \"Alerts_Store\" ON \"Alerts\" (\"Store\")");
}

TEST(SqlDialectTest, UniqueKeyAndPrivateTables) {
  TranslatedSql shared = TranslateSql("create table shared LogSettings (LogName VARCHAR(16) UNIQUE KEY, MaxLogAge INT)");
  ASSERT_EQ(shared.statements.size(), 2u);
  EXPECT_EQ(shared.statements[1], "CREATE UNIQUE INDEX \"LogSettings_LogName\" ON \"LogSettings\" (\"LogName\")");

  // Without SHARED a table belongs to its connection alone.
  TranslatedSql own = TranslateSql("CREATE TABLE Scratch (Name TEXT KEY)");
  EXPECT_EQ(own.statements[0], "CREATE TEMP TABLE \"Scratch\" (\"Name\" TEXT)");
  EXPECT_EQ(own.statements[1], "CREATE INDEX temp.\"Scratch_Name\" ON \"Scratch\" (\"Name\")");
}

TEST(SqlDialectTest, ForUpdateIsRemovedAndFetchesTheRowid) {
  TranslatedSql t = TranslateSql("SELECT * FROM Alerts WHERE AlertIndex=7 FOR UPDATE");
  EXPECT_TRUE(t.for_update);
  EXPECT_EQ(t.table, "Alerts");
  EXPECT_EQ(t.statements[0], "SELECT *, rowid FROM Alerts WHERE AlertIndex=7");

  TranslatedSql plain = TranslateSql("SELECT * FROM Alerts WHERE Store='x' order by EventDateTime desc;");
  EXPECT_FALSE(plain.for_update);
  EXPECT_EQ(plain.statements[0], "SELECT * FROM Alerts WHERE Store='x' order by EventDateTime desc");
}

TEST(SqlDialectTest, OtherStatementsPassAsWritten) {
  const char* cases[] = {
      "DELETE FROM Alerts WHERE AlertIndex=3",
      "UPDATE Alerts SET Tag='(DELETED)' WHERE AlertIndex=?",
      "SELECT * FROM LogEntries WHERE LogName='it''s; FOR UPDATE'",
  };
  for (const char* sql : cases) EXPECT_EQ(TranslateSql(sql).statements[0], sql) << sql;
}

TEST(SqlDialectTest, StatementsOutsideTheSubsetAreRefused) {
  const char* cases[] = {
      "",
      "PRAGMA journal_mode=DELETE",
      "ATTACH DATABASE 'x' AS y",
      "DELETE FROM Alerts; DROP TABLE Alerts",
      "SELECT * FROM Alerts WHERE Store='unterminated",
      "SELECT Store FROM Alerts FOR UPDATE",
      "CREATE TABLE SHARED T (A FLOAT)",
      "CREATE TABLE SHARED T (A COUNTER, B COUNTER)",
      "CREATE TABLE SHARED T (A VARCHAR(x))",
      "CREATE TABLE SHARED T (A TEXT UNIQUE)",
      "CREATE TABLE SHARED \"T x\" (A TEXT)",
      "CREATE INDEX i ON T (A)",
  };
  for (const char* sql : cases) {
    try {
      TranslateSql(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const platform::BasicError& e) {
      EXPECT_EQ(e.number(), platform::kErrAutomation) << sql;
      EXPECT_FALSE(e.description().empty()) << sql;
    }
  }
}

// SQLite reads comments as blanks: a ';' after a comment ends the statement
// even where a quote inside the comment would seem to hide it.
TEST(SqlDialectTest, CommentsAreBlanks) {
  const char* refused[] = {
      "DELETE FROM Alerts WHERE AlertIndex=1 /* ' */ ; DROP TABLE Alerts; --'",
      "SELECT * FROM Alerts -- '\n; DELETE FROM Alerts WHERE Tag='x'",
  };
  for (const char* sql : refused) {
    try {
      TranslateSql(sql);
      ADD_FAILURE() << "accepted: " << sql;
    } catch (const platform::BasicError& e) {
      EXPECT_EQ(e.number(), platform::kErrAutomation) << sql;
    }
  }
  // A trailing comment is left out, so FOR UPDATE is still seen.
  TranslatedSql t = TranslateSql("SELECT * FROM Alerts WHERE AlertIndex=7 FOR UPDATE -- take it");
  EXPECT_TRUE(t.for_update);
  EXPECT_EQ(t.statements[0], "SELECT *, rowid FROM Alerts WHERE AlertIndex=7");
  EXPECT_EQ(TranslateSql("DELETE FROM Alerts /* all */").statements[0], "DELETE FROM Alerts");
  EXPECT_EQ(TranslateSql("SELECT * FROM A WHERE S='--' AND T='/*'").statements[0], "SELECT * FROM A WHERE S='--' AND T='/*'");
}

TEST(SqlDialectTest, SqlWithValuesQuotesTexts) {
  const Variant values[] = {Variant("x' OR '1'='1"), Variant(int32_t{5}), Variant::Null()};
  EXPECT_EQ(SqlWithValues("SELECT * FROM A WHERE S=? AND N=? AND Q='?' AND Z=?", values),
            "SELECT * FROM A WHERE S='x'' OR ''1''=''1' AND N=5 AND Q='?' AND Z=NULL");
  EXPECT_EQ(SqlWithValues("SELECT ? , ?", std::span<const Variant>(values, 1)), "SELECT 'x'' OR ''1''=''1' , ?");
  EXPECT_EQ(QuoteSqlText("it's"), "'it''s'");
}

}  // namespace
}  // namespace support
