#include "alerts/alert_statements.h"
#include "alerts_fixture.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/basic/date_time.h"

namespace alerts::testing {
namespace {

using platform::Variant;

class UpdateAlertTest : public AlertsTest {
 protected:
  // Puts an old time on an alert, so that a refresh shows.
  static void AgeAlert(int32_t index) {
    Direct()->Execute("UPDATE Alerts SET EventDateTime='01/01/2001 00:00:00' WHERE AlertIndex=?", {Variant(index)});
  }
};

struct SeverityCase {
  uint8_t severity;
  uint8_t delta;
  int expected;
};

TEST_F(UpdateAlertTest, SeverityRaiseThatWouldPass100IsDroppedWhole) {
  const SeverityCase cases[] = {{90, 10, 100}, {95, 10, 95}, {0, 0, 0}, {100, 0, 100}, {50, 255, 50}, {1, 99, 100}};
  for (const SeverityCase& c : cases) {
    int32_t index = Post("S", c.severity);
    EXPECT_TRUE(UpdateAlert(index, c.delta, "", false));
    EXPECT_EQ(Field(index, kColSeverity), std::to_string(c.expected))
        << int(c.severity) << " + " << int(c.delta);
  }
}

// The refreshed time is the current time in UTC: here, three hours ahead of
// the local time, whatever second the update falls in.
TEST_F(UpdateAlertTest, TheRefreshedTimeIsTheCurrentUtcTime) {
  struct ZoneGuard {
    std::string old;
    bool had = false;
    ZoneGuard() {
      if (const char* zone = std::getenv("TZ")) {
        old = zone;
        had = true;
      }
      ::setenv("TZ", "<-03>3", 1);
      ::tzset();
    }
    ~ZoneGuard() {
      if (had) {
        ::setenv("TZ", old.c_str(), 1);
      } else {
        ::unsetenv("TZ");
      }
      ::tzset();
    }
  } zone;
  int32_t index = Post("S", 10);
  for (int attempt = 0; attempt < 3; ++attempt) {
    AgeAlert(index);
    const std::string utc_before = platform::FormatDate(platform::NowUtc(), "mm/dd/yyyy hh:nn:ss");
    const std::string before = platform::FormatDate(platform::Now() + 180.0 / 1440, "mm/dd/yyyy hh:nn:ss");
    ASSERT_TRUE(UpdateAlert(index, 0, "", false));
    const std::string after = platform::FormatDate(platform::Now() + 180.0 / 1440, "mm/dd/yyyy hh:nn:ss");
    const std::string utc_after = platform::FormatDate(platform::NowUtc(), "mm/dd/yyyy hh:nn:ss");
    if (before != after || utc_before != utc_after) continue;  // a second went by: try again
    EXPECT_EQ(Field(index, kColEventDateTime), before);
    EXPECT_EQ(before, utc_before);
    return;
  }
  FAIL() << "three updates in a row straddled a second";
}

TEST_F(UpdateAlertTest, AppendsNewTextAndResetsTheUserStatus) {
  int32_t index = Post("S", 10, "first.");
  ASSERT_TRUE(SetAlertUserProc(index));
  AgeAlert(index);
  EXPECT_TRUE(UpdateAlert(index, 0, " second.", true));
  EXPECT_EQ(Field(index, kColDescription), "first. second.");
  EXPECT_EQ(Field(index, kColUserProc), "False");
  EXPECT_NE(Field(index, kColEventDateTime), "01/01/2001 00:00:00");
  EXPECT_EQ(Field(index, kColEventDateTime).size(), 19u);

  // Without the reset the user's acknowledgement stays.
  ASSERT_TRUE(SetAlertUserProc(index));
  EXPECT_TRUE(UpdateAlert(index, 0, " third.", false));
  EXPECT_EQ(Field(index, kColDescription), "first. second. third.");
  EXPECT_EQ(Field(index, kColUserProc), "True");
}

TEST_F(UpdateAlertTest, ContainedTextChangesNothingButTheTime) {
  int32_t index = Post("S", 10, "Port 80 blocked");
  ASSERT_TRUE(SetAlertUserProc(index));
  AgeAlert(index);
  EXPECT_TRUE(UpdateAlert(index, 0, "80 blocked", true));
  EXPECT_EQ(Field(index, kColDescription), "Port 80 blocked");
  EXPECT_EQ(Field(index, kColUserProc), "True");
  EXPECT_NE(Field(index, kColEventDateTime), "01/01/2001 00:00:00");
  // The search is case-sensitive.
  EXPECT_TRUE(UpdateAlert(index, 0, "80 BLOCKED", false));
  EXPECT_EQ(Field(index, kColDescription), "Port 80 blocked80 BLOCKED");
}

TEST_F(UpdateAlertTest, DeletedAlertIsLeftAloneByUpdateAlertButNotByUpdateAlert2) {
  int32_t index = Post("S", 10, "old");
  ASSERT_TRUE(SetAlertDeleted(index));
  AgeAlert(index);
  EXPECT_FALSE(UpdateAlert(index, 5, " new", false));
  EXPECT_EQ(Field(index, kColSeverity), "10");
  EXPECT_EQ(Field(index, kColDescription), "old");
  EXPECT_EQ(Field(index, kColEventDateTime), "01/01/2001 00:00:00");
  EXPECT_EQ(Field(index, kColTag), "(DELETED)");

  EXPECT_TRUE(UpdateAlert2(index, 5, " new", false, ""));
  EXPECT_EQ(Field(index, kColSeverity), "15");
  EXPECT_EQ(Field(index, kColDescription), "old new");
  // The row lock is free again: another update goes through at once.
  EXPECT_TRUE(ChangeAlertDescription(index, "replaced"));
  EXPECT_EQ(Field(index, kColDescription), "replaced");
}

TEST_F(UpdateAlertTest, UpdateAlert2AppendsActionIdsAndTracesItsSteps) {
  int32_t index = Post("S", 10, "d1");  // ActionIDs "A1"
  ClearLog();
  EXPECT_TRUE(UpdateAlert2(index, 0, "+d2", false, ",A2"));
  EXPECT_EQ(Field(index, kColActionIds), "A1,A2");
  EXPECT_TRUE(UpdateAlert2(index, 0, "+d2", false, "A2"));  // contained: unchanged
  EXPECT_TRUE(UpdateAlert2(index, 0, "", false, ""));
  EXPECT_EQ(Field(index, kColActionIds), "A1,A2");
  std::vector<std::string> log = LogMessages();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[0], "Getting Description:d1");
  EXPECT_EQ(log[1], "Description after Setting:d1+d2");
  EXPECT_EQ(log[2], "Update Complete\r\n\r\n");
  EXPECT_NE(testing_support::ReadFileBytes(service::SystemLogPath()).find("Update Complete\r\n\r\n\r\n"),
            std::string::npos);
}

TEST_F(UpdateAlertTest, MissingAlertIsFalseEverywhere) {
  Post("S");
  EXPECT_FALSE(UpdateAlert(99, 1, "x", true));
  EXPECT_FALSE(UpdateAlert2(99, 1, "x", true, "y"));
  EXPECT_FALSE(ChangeAlertDescription(99, "x"));
  // Nothing staged by the failed updates leaks into the next alert.
  int32_t next = Post("S", 1, "own");
  EXPECT_EQ(Field(next, kColDescription), "own");
}

}  // namespace
}  // namespace alerts::testing
