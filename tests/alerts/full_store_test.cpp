// A full store keeps taking alerts and log entries: room is made by removing
// log entries (oldest first), then alerts marked deleted, then processed
// alerts (oldest first), for a new alert at last the oldest unprocessed
// ones, and the file never grows past the size limit.
#include <filesystem>
#include <string>
#include <vector>

#include "alerts/alert_statements.h"
#include "alerts_fixture.h"

namespace alerts::testing {
namespace {

using platform::Variant;

class FullStoreTest : public AlertsTest {
 protected:
  // Big rows fill the 4 MiB store in a few dozen inserts.
  static std::string Big(char fill) { return std::string(60000, fill); }

  static int32_t PostBig(const std::string& store, char fill, bool* posted) {
    int32_t index = 0;
    double when = kNoEventTime;
    *posted = PostAlert(store, 1, "summary", Big(fill), "EV", "", false, index, false, when, "");
    return index;
  }

  static int64_t Count(const std::string& sql) {
    auto db = Direct();
    db->Execute(sql);
    return db->RowCount();
  }

  static size_t FirstLogged(const std::string& prefix) {
    const std::vector<std::string> lines = LogMessages();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].rfind(prefix, 0) == 0) return i;
    }
    return std::string::npos;
  }
};

TEST_F(FullStoreTest, NewAlertsTakeTheRoomOfWhatIsLeastNeeded) {
  for (int i = 0; i < 20; ++i) WriteLogEntry("Privacy", 1, "entry " + std::to_string(i) + Big('l'));
  bool posted = false;
  std::vector<int32_t> deleted, processed;
  for (int i = 0; i < 8; ++i) {
    deleted.push_back(PostBig("Old", 'd', &posted));
    ASSERT_TRUE(SetAlertDeleted(deleted.back()));
    processed.push_back(PostBig("Old", 'p', &posted));
    ASSERT_TRUE(SetAlertUserProc(processed.back()));
  }
  // Far more new alerts than the store holds at once: every one is taken.
  int taken = 0;
  std::vector<int32_t> fresh;
  for (int i = 0; i < 120; ++i) {
    fresh.push_back(PostBig("New", 'n', &posted));
    ASSERT_TRUE(posted) << i;
    ++taken;
    ASSERT_LE(std::filesystem::file_size(AlertDatabasePath()), static_cast<uintmax_t>(kMaxDatabaseBytes));
  }
  // Everything else went first, in order; then the oldest new alerts, each
  // named in the log.
  const size_t logs = FirstLogged("MakeRoom - alert store is full; removed ");
  const size_t marked = FirstLogged("MakeRoom - alert store is full; removed 8 alerts marked deleted");
  const size_t old = FirstLogged("MakeRoom - alert store is full; removed 8 oldest processed alerts");
  const size_t unprocessed = FirstLogged("MakeRoom - alert store is full of unprocessed alerts; removed alert " +
                                         std::to_string(fresh.front()) + " (id 'EV', store 'New'): summary");
  ASSERT_NE(logs, std::string::npos);
  ASSERT_NE(marked, std::string::npos);
  ASSERT_NE(old, std::string::npos);
  ASSERT_NE(unprocessed, std::string::npos);
  EXPECT_EQ(LogMessages()[logs].find("oldest log entries") != std::string::npos, true) << LogMessages()[logs];
  EXPECT_LT(logs, marked);
  EXPECT_LT(marked, old);
  EXPECT_LT(old, unprocessed);
  EXPECT_FALSE(Logged("MakeRoom - alert store is full and holds nothing that may be removed"));
  EXPECT_FALSE(Logged("PostAlert: database or disk is full"));
  EXPECT_EQ(Count("SELECT * FROM LogEntries"), 0);
  EXPECT_EQ(Count("SELECT * FROM Alerts WHERE Store='Old'"), 0);
  // What is kept is the newest alerts without a gap; each one given up has
  // its line.
  const int64_t kept = Count("SELECT * FROM Alerts WHERE Store='New'");
  EXPECT_GT(kept, 40);
  EXPECT_LT(kept, taken);
  EXPECT_EQ(Count("SELECT * FROM Alerts WHERE AlertIndex>=" + std::to_string(fresh[taken - kept])), kept);
  size_t removal_lines = 0;
  for (const std::string& line : LogMessages()) {
    if (line.starts_with("MakeRoom - alert store is full of unprocessed alerts; removed alert ")) ++removal_lines;
  }
  EXPECT_EQ(static_cast<int64_t>(removal_lines), taken - kept);

  // A log entry never costs an alert: it is refused instead.
  WriteLogEntry("Privacy", 1, Big('x') + Big('x'));
  EXPECT_EQ(Count("SELECT * FROM Alerts WHERE Store='New'"), kept);
  EXPECT_TRUE(Logged("MakeRoom - alert store is full and holds nothing that may be removed"));
  CloseGDB();
  EXPECT_LE(std::filesystem::file_size(AlertDatabasePath()), static_cast<uintmax_t>(kMaxDatabaseBytes));
}

TEST_F(FullStoreTest, LogEntriesAreAgedOutOldestFirst) {
  // Twice what the store holds: every write is taken.
  for (int i = 0; i < 140; ++i) WriteLogEntry("Privacy", 1, std::to_string(i) + " " + Big('m'));
  EXPECT_FALSE(Logged("MakeRoom - alert store is full and holds nothing that may be removed"));
  auto db = Direct();
  db->Execute("SELECT * FROM LogEntries ORDER BY LogDateTime");
  const int32_t kept = db->RowCount();
  ASSERT_GT(kept, 20);
  ASSERT_LT(kept, 140);
  // What is left is the newest entries, without a gap.
  std::vector<int> numbers;
  for (bool row = db->MoveFirst(); row; row = db->MoveNext()) {
    numbers.push_back(std::stoi(db->GetFieldText(kColLogMessage)));
  }
  std::sort(numbers.begin(), numbers.end());
  EXPECT_EQ(numbers.back(), 139);
  EXPECT_EQ(numbers.front(), 140 - kept);
  EXPECT_LE(std::filesystem::file_size(AlertDatabasePath()), static_cast<uintmax_t>(kMaxDatabaseBytes));
}

}  // namespace
}  // namespace alerts::testing
