#include <cmath>

#include "alerts/alert_statements.h"
#include "alerts_fixture.h"
#include "platform/basic/date_time.h"

namespace alerts::testing {
namespace {

using platform::Variant;

class ReportLogTest : public AlertsTest {
 protected:
  static int32_t LogRows(const std::string& log_name) {
    auto db = Direct();
    db->Execute("SELECT * FROM LogEntries WHERE LogName=?", {Variant(log_name)});
    return db->RowCount();
  }

  // A Privacy row with a known time.
  static void AddPrivacyRow(double when, int severity, const std::string& message) {
    auto db = Direct();
    db->SetFieldText(kColLogName, "Privacy");
    db->SetFieldDouble(kColLogDateTime, when);
    db->SetFieldLong(kColLogSeverity, severity);
    db->SetFieldText(kColLogMessage, message);
    db->InsertRow("LogEntries");
  }
};

TEST_F(ReportLogTest, RepeatedMessageIsWrittenOnce) {
  WriteLogEntry("Privacy", 1, "cookie removed");
  WriteLogEntry("Privacy", 1, "cookie removed");
  EXPECT_EQ(LogRows("Privacy"), 1);
  // Only the text counts: another log name or severity is dropped too.
  WriteLogEntry("Other", 5, "cookie removed");
  EXPECT_EQ(LogRows("Other"), 0);
  // A different message in between lets the repeat through.
  WriteLogEntry("Privacy", 1, "history cleared");
  WriteLogEntry("Privacy", 1, "cookie removed");
  EXPECT_EQ(LogRows("Privacy"), 3);
}

TEST_F(ReportLogTest, EntryKeepsNameSeverityMessageAndWholeSeconds) {
  double before = platform::Now();
  WriteLogEntry("Firewall", 7, "it's blocked");
  auto db = Direct();
  db->Execute("SELECT * FROM LogEntries");
  ASSERT_TRUE(db->MoveFirst());
  EXPECT_EQ(db->GetFieldText(kColLogName), "Firewall");
  EXPECT_EQ(db->GetFieldLong(kColLogSeverity), 7);
  EXPECT_EQ(db->GetFieldText(kColLogMessage), "it's blocked");
  double when = db->GetFieldDouble(kColLogDateTime);
  EXPECT_NEAR(when, before, 2.0 / 86400);
  double seconds = when * 86400;
  EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
}

TEST_F(ReportLogTest, EmptyPrivacyLogGivesAnEmptyReport) {
  WriteLogEntry("Other", 1, "not private");
  EXPECT_EQ(GetPrivacyReport(), "");
  EXPECT_FALSE(AnyPrivacyEntries());
}

TEST_F(ReportLogTest, PrivacyReportListsEntriesInTimeOrder) {
  ASSERT_TRUE(CheckIMDBObject());
  double later = platform::DateSerial(2020, 1, 2) + platform::TimeSerial(9, 5, 0);
  double earlier = platform::DateSerial(2019, 12, 31) + platform::TimeSerial(13, 45, 30);
  AddPrivacyRow(later, 2, "second");
  AddPrivacyRow(earlier, 10, "first\twith tab");
  WriteLogEntry("Other", 1, "not in the report");
  EXPECT_TRUE(AnyPrivacyEntries());
  EXPECT_EQ(GetPrivacyReport(),
            "12/31/2019 1:45:30 PM\t10\tfirst\twith tab"
            "\x01"
            "1/2/2020 9:05:00 AM\t2\tsecond");
}

TEST_F(ReportLogTest, DeleteLogRemovesThatLogOnly) {
  WriteLogEntry("it's", 1, "a");
  WriteLogEntry("Privacy", 1, "b");
  DeleteLog("it's");
  EXPECT_EQ(LogRows("it's"), 0);
  EXPECT_EQ(LogRows("Privacy"), 1);
  DeleteLog("' OR ''='");
  EXPECT_EQ(LogRows("Privacy"), 1);
}

TEST_F(ReportLogTest, DumpWritesEachTableTwiceAtTheRoot) {
  double when = platform::DateSerial(2020, 3, 4) + platform::TimeSerial(10, 5, 6);
  int32_t index = 0;
  ASSERT_TRUE(PostAlert("Web", 30, "Site, blocked", "said \"no\"", "W1", "a|b", false, index, true, when, ""));
  AddPrivacyRow(43831.5, 3, "m");
  DumpAlertStore();
  const std::string alerts_header =
      "AlertIndex,Store,AlertID,Severity,Summary,Description,AlertKey,ActionIDs,UserProc,SysProc,EventDateTime,"
      "ShowPrivOnly,Tag\n";
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "Alerts.csv"),
            alerts_header +
                "1,Web,W1,30,\"Site, blocked\",\"said \"\"no\"\"\",W1,a|b,False,False,03/04/2020 13:05:06,True,\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "Alerts.txt"),
            "AlertIndex|Store|AlertID|Severity|Summary|Description|AlertKey|ActionIDs|UserProc|SysProc|"
            "EventDateTime|ShowPrivOnly|Tag\n"
            "1|Web|W1|30|Site, blocked|\"said \"\"no\"\"\"|W1|\"a|b\"|False|False|03/04/2020 13:05:06|True|\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "LogEntries.csv"),
            "LogName,LogDateTime,LogSeverity,LogMessage\nPrivacy,43831.5,3,m\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "LogEntries.txt"),
            "LogName|LogDateTime|LogSeverity|LogMessage\nPrivacy|43831.5|3|m\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "LogSettings.csv"), "LogName,MaxLogAge\n");
  EXPECT_EQ(testing_support::ReadFileBytes(root_ / "LogSettings.txt"), "LogName|MaxLogAge\n");
}

}  // namespace
}  // namespace alerts::testing
