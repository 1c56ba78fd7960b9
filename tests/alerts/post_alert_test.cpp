#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>

#include "alerts/alert_statements.h"
#include "alerts_fixture.h"
#include "platform/basic/date_time.h"
#include "testing/child_process.h"

namespace alerts::testing {
namespace {

using platform::Variant;

class PostAlertTest : public AlertsTest {};

TEST_F(PostAlertTest, StoresEveryFieldInItsColumn) {
  int32_t index = 0;
  double when = platform::DateSerial(2020, 3, 4) + platform::TimeSerial(10, 5, 6);
  ASSERT_TRUE(PostAlert("Firewall", 42, "Blocked", "Port 80 blocked", "FW-1", "open,close", true, index, true, when,
                        "mytag"));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(when, platform::DateSerial(2020, 3, 4) + platform::TimeSerial(10, 5, 6));  // given times are kept
  const std::pair<int, std::string> expected[] = {
      {kColAlertIndex, "1"},      {kColStore, "Firewall"},
      {kColAlertId, "FW-1"},      {kColSeverity, "42"},
      {kColSummary, "Blocked"},   {kColDescription, "Port 80 blocked"},
      {kColAlertKey, "FW-1"},     {kColActionIds, "open,close"},
      {kColUserProc, "True"},     {kColSysProc, "False"},
      {kColEventDateTime, "03/04/2020 13:05:06"},  // UTC: local + 180 minutes
      {kColShowPrivOnly, "True"}, {kColTag, "mytag"},
  };
  for (const auto& [column, text] : expected) EXPECT_EQ(Field(index, column), text) << "column " << column;
  EXPECT_EQ(Post("Firewall"), 2);
}

TEST_F(PostAlertTest, NoTimeMeansNowAndOneSecondLaterIsKept) {
  double before = platform::Now();
  double when = kNoEventTime;
  int32_t index = 0;
  ASSERT_TRUE(PostAlert("S", 1, "s", "d", "id", "", false, index, false, when, ""));
  double after = platform::Now();
  EXPECT_GE(when, before);
  EXPECT_LE(when, after);
  std::string stored = Field(index, kColEventDateTime);
  std::string expected_before = platform::FormatDate(before + 180.0 / 1440, "mm/dd/yyyy hh:nn:ss");
  std::string expected_after = platform::FormatDate(after + 180.0 / 1440, "mm/dd/yyyy hh:nn:ss");
  EXPECT_TRUE(stored == expected_before || stored == expected_after) << stored;

  double one_second_later = kNoEventTime + 1.0 / 86400;
  ASSERT_TRUE(PostAlert("S", 1, "s", "d", "id", "", false, index, false, one_second_later, ""));
  EXPECT_EQ(one_second_later, kNoEventTime + 1.0 / 86400);
  EXPECT_EQ(Field(index, kColEventDateTime), "01/01/1980 03:00:01");
}

TEST_F(PostAlertTest, QuotesAndLongTextsAreStoredAndMatchedAsThemselves) {
  const std::string injection = "x' OR '1'='1";
  const std::string long_name(1000, 'L');
  int32_t plain = Post("plain");
  int32_t tricky = Post(injection, 5, "it's \"quoted\"; DROP TABLE Alerts; --", "ev'1");
  int32_t long_one = Post(long_name);
  EXPECT_EQ(Field(tricky, kColStore), injection);
  EXPECT_EQ(Field(tricky, kColDescription), "it's \"quoted\"; DROP TABLE Alerts; --");
  EXPECT_EQ(Field(long_one, kColStore), long_name);

  Variant list;
  ASSERT_EQ(GetAlertIndicesAll(injection, list), 1);
  EXPECT_EQ(list.Element(1).LongValue(), tricky);
  ASSERT_EQ(GetAlertIndices(injection, list, false, "ev'1"), 1);
  EXPECT_EQ(GetAlertIndices(injection, list, false, "ev' OR '1'='1"), 0);
  ASSERT_EQ(GetAlertIndicesAll(long_name, list), 1);
  EXPECT_EQ(list.Element(1).LongValue(), long_one);
  EXPECT_TRUE(AnyAlerts(injection));
  EXPECT_FALSE(AnyAlerts("' OR ''='"));
  EXPECT_TRUE(NewAlert(injection));

  // Deleting by a quoted store name touches that store only.
  EXPECT_TRUE(SetAlertDeleted(plain));
  EXPECT_TRUE(SetAlertDeleted(tricky));
  EXPECT_TRUE(RemoveDeletedAlerts(Variant(injection)));
  EXPECT_EQ(Field(tricky, kColStore), "(missing)");
  EXPECT_EQ(Field(plain, kColTag), "(DELETED)");
}

TEST_F(PostAlertTest, FourThreadsPostingAtOnceLoseNothing) {
  ASSERT_TRUE(CheckIMDBObject());  // the tables exist before the race
  constexpr int kThreads = 4;
  constexpr int kPerThread = 1000;
  std::vector<std::vector<int32_t>> indices(kThreads);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        int32_t index = 0;
        double when = kNoEventTime;
        if (!PostAlert("T" + std::to_string(t), 1, "s", "d", "id", "", false, index, false, when, "")) ++failures;
        indices[t].push_back(index);
      }
      CloseGDB();
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  std::set<int32_t> distinct;
  for (const auto& list : indices) distinct.insert(list.begin(), list.end());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kThreads * kPerThread));
  EXPECT_EQ(distinct.count(0), 0u);
  auto db = Direct();
  db->Execute("SELECT * FROM Alerts");
  EXPECT_EQ(db->RowCount(), kThreads * kPerThread);
}

TEST_F(PostAlertTest, ProcessKilledWhilePostingKeepsEveryReturnedAlert) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  pid_t child = testing_support::StartChild([&] {
    close(report[0]);
    for (int i = 0; i < 100000; ++i) {
      int32_t index = 0;
      double when = kNoEventTime;
      if (PostAlert("Crash", 1, "s", std::string(100, 'd'), "id", "", false, index, false, when, "")) {
        if (write(report[1], &index, sizeof index) != static_cast<ssize_t>(sizeof index)) return 2;
      }
    }
    return 0;
  });
  close(report[1]);
  std::vector<int32_t> returned;
  int32_t index = 0;
  while (returned.size() < 300 && read(report[0], &index, sizeof index) == static_cast<ssize_t>(sizeof index)) {
    returned.push_back(index);
  }
  kill(child, SIGKILL);
  EXPECT_EQ(testing_support::WaitChild(child), 128 + SIGKILL);
  while (read(report[0], &index, sizeof index) == static_cast<ssize_t>(sizeof index)) returned.push_back(index);
  close(report[0]);
  ASSERT_GE(returned.size(), 300u);

  ClearLog();
  EXPECT_TRUE(CheckIMDBObject());
  EXPECT_FALSE(Logged("DB Corruption detected. Rebuilding"));
  Variant list;
  int32_t count = GetAlertIndicesAll("Crash", list);
  EXPECT_GE(count, static_cast<int32_t>(returned.size()));
  std::set<int32_t> stored;
  for (int32_t i = 1; i <= count; ++i) stored.insert(list.Element(i).LongValue());
  for (int32_t posted : returned) EXPECT_EQ(stored.count(posted), 1u) << posted;
}

}  // namespace
}  // namespace alerts::testing
