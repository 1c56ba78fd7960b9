// The listeners hear of each change this process makes to the Alerts table,
// and of nothing that failed.
#include "alerts/alert_changes.h"

#include <string>
#include <vector>

#include "alerts_fixture.h"

namespace alerts::testing {
namespace {

class AlertChangesTest : public AlertsTest {
 protected:
  void SetUp() override {
    AlertsTest::SetUp();
    id_ = ListenToAlertChanges([this](int32_t index, std::string_view change) {
      heard_.push_back(std::to_string(index) + " " + std::string(change));
    });
  }
  void TearDown() override {
    StopListeningToAlertChanges(id_);
    AlertsTest::TearDown();
  }

  uint64_t id_ = 0;
  std::vector<std::string> heard_;
};

TEST_F(AlertChangesTest, EveryChangeIsToldOnceInOrder) {
  const int32_t first = Post("Firewall");
  const int32_t second = Post("Wavelock");
  ASSERT_TRUE(UpdateAlert(first, 5, "more", true));
  ASSERT_TRUE(UpdateAlert2(first, 0, "again", false, "B2"));
  ASSERT_TRUE(ChangeAlertDescription(second, "new"));
  ASSERT_TRUE(SetAlertSysProc(first));
  ASSERT_TRUE(SetAlertUserProc(first));
  ASSERT_TRUE(SetAlertDeleted(second));
  ASSERT_TRUE(RemoveDeletedAlerts(platform::Variant("Wavelock")));
  ASSERT_TRUE(DeleteAlert(first));
  const std::vector<std::string> expected = {"1 posted",  "2 posted",  "1 updated", "1 updated", "2 updated",
                                             "1 updated", "1 updated", "2 updated", "0 removed", "1 deleted"};
  EXPECT_EQ(heard_, expected);
}

TEST_F(AlertChangesTest, FailedChangesAndListenersThatStoppedHearNothing) {
  const int32_t index = Post("Firewall");
  ASSERT_TRUE(SetAlertDeleted(index));
  heard_.clear();
  // An alert marked deleted takes no update; an alert that is not there none either.
  EXPECT_FALSE(UpdateAlert(index, 5, "more", true));
  EXPECT_FALSE(ChangeAlertDescription(999, "new"));
  EXPECT_EQ(heard_, std::vector<std::string>{});

  StopListeningToAlertChanges(id_);
  Post("Firewall");
  EXPECT_EQ(heard_, std::vector<std::string>{});
}

}  // namespace
}  // namespace alerts::testing
