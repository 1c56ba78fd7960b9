#include "support/imdb/imdb.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/basic/conversions.h"
#include "platform/basic/err.h"
#include "platform/com/class_registry.h"
#include "support/imdb/imdb_error.h"
#include "testing/child_process.h"
#include "testing/temp_root.h"

namespace support {
namespace {

using platform::BasicError;
using platform::Variant;
using platform::VarType;

constexpr const char* kCreateItems =
    "CREATE TABLE SHARED Items (Id COUNTER PRIMARY, Name VARCHAR(16) KEY, Level SMALLINT, Note TEXT, "
    "Flag BOOL, Stamp DOUBLE, Count INT)";

// Runs `body` and returns the description of the error it raises ("" when
// it raises none).
template <class F>
std::string RaisedBy(F&& body) {
  try {
    body();
  } catch (const BasicError& e) {
    return e.description().empty() ? "(no description)" : e.description();
  }
  return "";
}

class ImdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (root_ / "prf/imdb.bin").string();
    db_.Open(path_);
    db_.Execute(kCreateItems);
  }

  int32_t Insert(const std::string& name, int32_t level) {
    db_.SetFieldText(2, name);
    db_.SetFieldLong(3, level);
    return db_.InsertRow("Items");
  }

  testing_support::TempRoot root_;
  std::string path_;
  Imdb db_;
};

TEST_F(ImdbTest, InsertAssignsCounterAndSelectReadsTypedFields) {
  db_.SetFieldText(2, "alpha");
  db_.SetFieldLong(3, 42);
  db_.SetFieldText(4, "a note");
  db_.SetFieldBool(5, true);
  db_.SetFieldDouble(6, 45000.25);
  EXPECT_EQ(db_.InsertRow("Items"), 1);
  EXPECT_EQ(Insert("beta", 7), 2);

  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Name='alpha'"));
  EXPECT_EQ(db_.RowCount(), 1);
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldLong(1), 1);
  EXPECT_EQ(db_.GetFieldText(2), "alpha");
  EXPECT_EQ(db_.GetField(3).vt(), VarType::kInteger);
  EXPECT_EQ(db_.GetFieldLong(3), 42);
  EXPECT_EQ(db_.GetFieldText(3), "42");
  EXPECT_EQ(db_.GetField(5).vt(), VarType::kBoolean);
  EXPECT_TRUE(db_.GetFieldBool(5));
  EXPECT_EQ(db_.GetFieldText(5), "True");
  EXPECT_DOUBLE_EQ(db_.GetFieldDouble(6), 45000.25);
  // Fields never staged are NULL: they read as 0, "" and False.
  EXPECT_TRUE(db_.GetField(7).IsNull());
  EXPECT_EQ(db_.GetFieldLong(7), 0);
  EXPECT_EQ(db_.GetFieldText(7), "");
  EXPECT_FALSE(db_.GetFieldBool(7));
  EXPECT_FALSE(db_.MoveNext());
  db_.CloseResult();
}

TEST_F(ImdbTest, CursorWalksRowsInOrderAndStopsAtTheEnd) {
  for (int i = 1; i <= 3; ++i) Insert("n" + std::to_string(i), i);
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items order by Level DESC"));
  EXPECT_EQ(db_.RowCount(), 3);
  std::vector<int32_t> levels;
  for (bool more = db_.MoveFirst(); more; more = db_.MoveNext()) levels.push_back(db_.GetFieldLong(3));
  EXPECT_EQ(levels, (std::vector<int32_t>{3, 2, 1}));
  // Past the last row there is no current record.
  try {
    db_.GetFieldLong(1);
    ADD_FAILURE() << "read past the end";
  } catch (const BasicError& e) {
    EXPECT_EQ(e.number(), kErrNoCurrentRecord);
  }
  // A second MoveFirst starts over.
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldLong(3), 3);

  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Name='none'"));
  EXPECT_EQ(db_.RowCount(), 0);
  EXPECT_FALSE(db_.MoveFirst());
  db_.CloseResult();
  EXPECT_EQ(db_.RowCount(), 0);
}

TEST_F(ImdbTest, BoundTextIsStoredAndMatchedAsItself) {
  const std::string tricky[] = {"x' OR '1'='1", "it's", "\"quoted\"", "semi;colon -- comment", "?", "",
                                std::string(1000, 'w'), std::string("nul\0byte", 8), "ünïcode ✓"};
  for (const std::string& name : tricky) Insert(name, 1);
  for (const std::string& name : tricky) {
    ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Name=?", {Variant(name)}));
    ASSERT_EQ(db_.RowCount(), 1) << name;
    db_.MoveFirst();
    EXPECT_EQ(db_.GetFieldText(2), name);
  }
  EXPECT_EQ(RaisedBy([&] { db_.Execute("SELECT * FROM Items WHERE Name=?", {}); }),
            "the statement has 1 placeholders but 0 values were given");
}

TEST_F(ImdbTest, ForUpdateRowIsChangedReadBackAndWritten) {
  Insert("row", 10);
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=1 FOR UPDATE"));
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldLong(3), 10);
  db_.SetFieldLong(3, 11);
  db_.SetFieldText(4, "changed");
  EXPECT_EQ(db_.GetFieldLong(3), 11);  // staged values read back at once
  EXPECT_TRUE(db_.UpdateRow());
  db_.CloseResult();

  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=1"));
  db_.MoveFirst();
  EXPECT_EQ(db_.GetFieldLong(3), 11);
  EXPECT_EQ(db_.GetFieldText(4), "changed");
  // Outside FOR UPDATE there is no row to update.
  EXPECT_EQ(RaisedBy([&] { db_.UpdateRow(); }),
            "UpdateRow needs the current row of a SELECT ... FOR UPDATE result");
  db_.CloseResult();

  // FOR UPDATE on a missing row: nothing to set, nothing staged for inserts.
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=99 FOR UPDATE"));
  EXPECT_FALSE(db_.MoveFirst());
  EXPECT_NE(RaisedBy([&] { db_.SetFieldText(4, "lost"); }), "");
  db_.CloseResult();
  EXPECT_EQ(Insert("next", 1), 2);
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=2"));
  db_.MoveFirst();
  EXPECT_EQ(db_.GetFieldText(4), "");
  db_.CloseResult();
}

TEST_F(ImdbTest, ConcurrentForUpdateIncrementsLoseNothing) {
  Insert("counter", 0);
  constexpr int kThreads = 4;
  constexpr int kIncrements = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      Imdb own;
      own.Open(path_);
      for (int i = 0; i < kIncrements; ++i) {
        own.Execute("SELECT * FROM Items WHERE Id=1 FOR UPDATE");
        own.MoveFirst();
        own.SetFieldLong(7, own.GetFieldLong(7) + 1);
        own.UpdateRow();
        own.CloseResult();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=1"));
  db_.MoveFirst();
  EXPECT_EQ(db_.GetFieldLong(7), kThreads * kIncrements);
  db_.CloseResult();
}

TEST_F(ImdbTest, SharedTablesAreSeenByEveryConnectionPrivateOnesAreNot) {
  Insert("shared", 1);
  db_.Execute("CREATE TABLE Scratch (Name TEXT)");
  db_.SetFieldText(1, "mine");
  EXPECT_EQ(db_.InsertRow("Scratch"), 0);  // no COUNTER column

  Imdb other;
  other.Open(path_);
  ASSERT_TRUE(other.Execute("SELECT * FROM Items"));
  EXPECT_EQ(other.RowCount(), 1);
  EXPECT_NE(RaisedBy([&] { other.Execute("SELECT * FROM Scratch"); }), "");

  // Rows stay after every connection closed.
  other.Close();
  db_.Close();
  Imdb again;
  again.Open(path_);
  ASSERT_TRUE(again.Execute("SELECT * FROM Items"));
  EXPECT_EQ(again.RowCount(), 1);
}

TEST_F(ImdbTest, DeleteAndUpdateStatements) {
  for (int i = 1; i <= 4; ++i) Insert("d", i);
  EXPECT_TRUE(db_.Execute("UPDATE Items SET Flag=1 WHERE Level=?", {Variant(int32_t{2})}));
  EXPECT_TRUE(db_.Execute("DELETE FROM Items WHERE Level=1"));
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Flag=1"));
  EXPECT_EQ(db_.RowCount(), 1);
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items"));
  EXPECT_EQ(db_.RowCount(), 3);
  // A statement that is wrong for the tables raises with the engine's words.
  EXPECT_EQ(RaisedBy([&] { db_.Execute("DELETE FROM Nowhere WHERE A=1"); }), "no such table: Nowhere");
  EXPECT_EQ(RaisedBy([&] { db_.Execute(kCreateItems); }), "table \"Items\" already exists");
}

TEST_F(ImdbTest, CheckValidatesWithoutRunning) {
  Insert("kept", 1);
  EXPECT_TRUE(db_.Check("SELECT * FROM Items"));
  EXPECT_TRUE(db_.Check("SELECT * FROM Items WHERE Name=? order by Level desc"));
  EXPECT_TRUE(db_.Check("DELETE FROM Items"));
  EXPECT_EQ(RaisedBy([&] { db_.Check("SELECT * FROM Missing"); }), "no such table: Missing");
  EXPECT_EQ(RaisedBy([&] { db_.Check("SELECT * FROM Items WHERE Nope=1"); }), "no such column: Nope");
  // The checked DELETE did not run, and an open result survives a check.
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items"));
  EXPECT_TRUE(db_.Check("SELECT * FROM Items"));
  EXPECT_EQ(db_.RowCount(), 1);
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldText(2), "kept");
}

TEST_F(ImdbTest, ProvenCheckIsRenewedWhenTheTablesChange) {
  EXPECT_TRUE(db_.Check("SELECT * FROM Items"));
  EXPECT_TRUE(db_.Check("SELECT * FROM Items"));  // proven: answered from memory
  {
    Imdb other;
    other.Open(path_);
    other.Execute("DROP TABLE Items");
  }
  // A schema change anywhere in the process makes the next check look again.
  EXPECT_EQ(RaisedBy([&] { db_.Check("SELECT * FROM Items"); }), "no such table: Items");
  db_.Execute(kCreateItems);
  EXPECT_TRUE(db_.Check("SELECT * FROM Items"));
}

// The connection keeps translations and prepared statements, and a quick
// way back to a translation by where the caller's text lies. Each must stay
// right when its caches turn over and when one buffer holds another text.
TEST_F(ImdbTest, CachedStatementsStayRightWhenTheCachesTurnOver) {
  Insert("a", 1);
  Insert("b", 2);
  // More distinct statements than either cache holds, between uses of a
  // FOR UPDATE statement (and its transaction statements) kept all along.
  for (int round = 0; round < 300; ++round) {
    const std::string lookup = "SELECT * FROM Items WHERE Level=" + std::to_string(round % 2 + 1) + " AND Count=" +
                               std::to_string(-round);
    ASSERT_TRUE(db_.Execute(lookup)) << round;
    ASSERT_EQ(db_.RowCount(), 0) << round;
    ASSERT_TRUE(db_.Check(lookup)) << round;
    ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=? FOR UPDATE", {Variant(1)})) << round;
    ASSERT_TRUE(db_.MoveFirst());
    db_.SetFieldLong(7, round);
    if (round % 2 == 0) db_.SetFieldText(4, "note " + std::to_string(round));
    ASSERT_TRUE(db_.UpdateRow()) << round;
    db_.CloseResult();
  }
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items WHERE Id=1"));
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldLong(7), 299);
  EXPECT_EQ(db_.GetFieldText(4), "note 298");
  db_.CloseResult();

  // One buffer, two statements of the same length, one after the other.
  std::string text = "SELECT * FROM Items WHERE Level=1";
  ASSERT_TRUE(db_.Execute(text));
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldText(2), "a");
  text.replace(text.size() - 1, 1, "2");
  ASSERT_TRUE(db_.Execute(text));
  ASSERT_TRUE(db_.MoveFirst());
  EXPECT_EQ(db_.GetFieldText(2), "b");
  db_.CloseResult();
}

TEST_F(ImdbTest, FieldNumbersAndTablesAreChecked) {
  db_.SetFieldText(99, "x");
  EXPECT_NE(RaisedBy([&] { db_.InsertRow("Items"); }), "");
  EXPECT_NE(RaisedBy([&] { db_.InsertRow("Items; DROP TABLE Items"); }), "");
  EXPECT_EQ(RaisedBy([&] { db_.InsertRow("Nowhere"); }), "no such table: Nowhere");
  Insert("one", 1);
  ASSERT_TRUE(db_.Execute("SELECT * FROM Items"));
  db_.MoveFirst();
  try {
    db_.GetFieldText(14);
    ADD_FAILURE();
  } catch (const BasicError& e) {
    EXPECT_EQ(e.number(), platform::kErrSubscript);
  }
  EXPECT_NE(RaisedBy([&] { db_.GetFieldLong(2); }), "");  // "one" is no number
}

TEST(ImdbFileTest, SizeSettingCapsTheFile) {
  testing_support::TempRoot root;
  std::string path = (root / "imdb.bin").string();
  Imdb db;
  db.SetMaxSize(64 * 1024);
  db.Open(path);
  db.Execute("CREATE TABLE SHARED Big (Id COUNTER PRIMARY, Body TEXT)");
  std::string error;
  for (int i = 0; i < 200 && error.empty(); ++i) {
    db.SetFieldText(2, std::string(4000, 'b'));
    error = RaisedBy([&] { db.InsertRow("Big"); });
  }
  EXPECT_EQ(error, "database or disk is full");
  try {
    db.SetFieldText(2, std::string(4000, 'b'));
    db.InsertRow("Big");
    ADD_FAILURE();
  } catch (const BasicError& e) {
    EXPECT_EQ(e.number(), kErrImdbFull);
  }
  EXPECT_EQ(db.LastFailure(), ImdbFailure::kTransient);
  db.Close();
  EXPECT_LE(std::filesystem::file_size(path), 64u * 1024u);
}

TEST(ImdbFileTest, ForeignAndDamagedFilesAreRefusedAtOpen) {
  testing_support::TempRoot root;
  std::string foreign = (root / "foreign.bin").string();
  testing_support::WriteFileBytes(foreign, std::string(8192, 'x'));
  Imdb db;
  EXPECT_EQ(RaisedBy([&] { db.Open(foreign); }), "file is not a database");
  EXPECT_TRUE(db.IsOpen());
  EXPECT_EQ(RaisedBy([&] { db.Check("SELECT * FROM Items"); }), "file is not a database");
  EXPECT_EQ(db.LastFailure(), ImdbFailure::kDamaged);
  db.Close();

  // A real database whose table pages were overwritten.
  std::string damaged = (root / "damaged.bin").string();
  {
    Imdb good;
    good.Open(damaged);
    good.Execute(kCreateItems);
    for (int i = 0; i < 200; ++i) {
      good.SetFieldText(4, std::string(200, 'n'));
      good.InsertRow("Items");
    }
  }
  std::string bytes = testing_support::ReadFileBytes(damaged);
  ASSERT_GT(bytes.size(), 16384u);
  for (size_t i = 4096; i < bytes.size(); i += 97) bytes[i] = static_cast<char>(0xA5);
  testing_support::WriteFileBytes(damaged, bytes);
  Imdb broken;
  std::string reason = RaisedBy([&] { broken.Open(damaged); });
  EXPECT_NE(reason, "");
  EXPECT_EQ(RaisedBy([&] { broken.Execute("SELECT * FROM Items"); }), reason);
  EXPECT_EQ(broken.LastFailure(), ImdbFailure::kDamaged);

  // A statement that does not fit the tables says nothing about the file.
  Imdb fine;
  fine.Open((root / "fine.bin").string());
  EXPECT_NE(RaisedBy([&] { fine.Check("SELECT * FROM Missing"); }), "");
  EXPECT_EQ(fine.LastFailure(), ImdbFailure::kStatement);
}

TEST(ImdbFileTest, ConnectionsFollowAFileReplacedByAnother) {
  testing_support::TempRoot root;
  std::string path = (root / "imdb.bin").string();
  Imdb first;
  first.Open(path);
  first.Execute(kCreateItems);
  first.SetFieldText(2, "old");
  first.InsertRow("Items");

  Imdb second;
  second.Open(path);
  second.Close();
  Imdb::RemoveDatabaseFile(path);
  EXPECT_FALSE(std::filesystem::exists(path));
  // The file is gone: the next statement says so instead of writing to it.
  EXPECT_EQ(RaisedBy([&] { first.Check("SELECT * FROM Items"); }), "the database file " + path + " no longer exists");

  second.Open(path);
  second.Execute(kCreateItems);
  second.SetFieldText(2, "new");
  second.InsertRow("Items");
  ASSERT_TRUE(first.Execute("SELECT * FROM Items"));
  ASSERT_EQ(first.RowCount(), 1);
  first.MoveFirst();
  EXPECT_EQ(first.GetFieldText(2), "new");
}

TEST(ImdbFileTest, LogFilesOfAVanishedDatabaseAreNotReplayed) {
  testing_support::TempRoot root;
  std::string path = (root / "imdb.bin").string();
  // A process dies with its last rows still in the log beside the file...
  int status = testing_support::RunInChild([&]() -> int {
    Imdb old;
    old.Open(path);
    old.Execute(kCreateItems);
    old.SetFieldText(2, "old row");
    old.InsertRow("Items");
    _exit(std::filesystem::exists(path + "-wal") ? 0 : 3);
  });
  ASSERT_EQ(status, 0);
  // ...and then only the database itself is deleted.
  std::filesystem::remove(path);
  Imdb fresh;
  fresh.Open(path);
  EXPECT_EQ(RaisedBy([&] { fresh.Execute("SELECT * FROM Items"); }), "no such table: Items");
  fresh.Execute(kCreateItems);
  ASSERT_TRUE(fresh.Execute("SELECT * FROM Items"));
  EXPECT_EQ(fresh.RowCount(), 0);
}

TEST(ImdbFileTest, ExportWritesHeaderRowsAndQuotesFields) {
  testing_support::TempRoot root;
  Imdb db;
  db.Open((root / "imdb.bin").string());
  db.Execute("CREATE TABLE SHARED T (Id COUNTER PRIMARY, Name VARCHAR(16), Flag BOOL, Stamp DOUBLE, N SMALLINT)");
  db.SetFieldText(2, "plain");
  db.SetFieldBool(3, true);
  db.SetFieldDouble(4, 45000.5);
  db.SetFieldLong(5, 3);
  db.InsertRow("T");
  db.SetFieldText(2, "a,b|\"c\"\nd");
  db.SetFieldBool(3, false);
  db.InsertRow("T");
  db.ExportTable("T", root / "T.csv", ',', '\n');
  db.ExportTable("T", root / "T.txt", '|', '\n');
  EXPECT_EQ(testing_support::ReadFileBytes(root / "T.csv"),
            "Id,Name,Flag,Stamp,N\n"
            "1,plain,True,45000.5,3\n"
            "2,\"a,b|\"\"c\"\"\nd\",False,,\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root / "T.txt"),
            "Id|Name|Flag|Stamp|N\n"
            "1|plain|True|45000.5|3\n"
            "2|\"a,b|\"\"c\"\"\nd\"|False||\n");
  EXPECT_FALSE(std::filesystem::exists(root / "T.csv.part"));
  EXPECT_EQ(RaisedBy([&] { db.ExportTable("Nope", root / "x.csv", ',', '\n'); }), "no such table: Nope");
}

TEST(ImdbClassTest, CreatedByProgIdAndCalledByName) {
  testing_support::TempRoot root;
  RegisterImdbClass();
  platform::com::ObjectPtr object = platform::com::CreateObject("quilogic.imdb");
  ASSERT_TRUE(platform::com::QueryInterface<Imdb>(object));
  using platform::com::CallByName;
  CallByName(object, "SetMaxSize", {Variant(int32_t{4194304})});
  CallByName(object, "Open", {Variant((root / "imdb.bin").string())});
  CallByName(object, "Execute", {Variant("CREATE TABLE SHARED T (Id COUNTER PRIMARY, Name TEXT)")});
  CallByName(object, "SetFieldText", {Variant(int32_t{2}), Variant("by name")});
  std::vector<Variant> args{Variant("T"), Variant()};
  EXPECT_EQ(platform::CLng(CallByName(object, "InsertRow", args)), 1);
  EXPECT_EQ(platform::CLng(args[1]), 1);  // the out-parameter
  std::vector<Variant> ran{Variant("SELECT * FROM T"), Variant(false)};
  CallByName(object, "Execute", ran);
  EXPECT_TRUE(ran[1].BoolValue());
  EXPECT_EQ(platform::CLng(CallByName(object, "RowCount", {})), 1);
  CallByName(object, "MoveFirst", {});
  EXPECT_EQ(platform::CStr(CallByName(object, "GetFieldText", {Variant(int32_t{2})})), "by name");
  CallByName(object, "ExportTable", {Variant("T"), Variant((root / "T.csv").string()), Variant(","), Variant(uint8_t{10})});
  EXPECT_EQ(testing_support::ReadFileBytes(root / "T.csv"), "Id,Name\n1,by name\n");
}

}  // namespace
}  // namespace support
