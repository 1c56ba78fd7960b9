// "JournalAlerts = 1": each posted or updated alert is one structured entry
// on the journal's native protocol, here a private socket of the test's.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>

#include "alerts/journal_alerts.h"
#include "alerts_fixture.h"

namespace alerts::testing {
namespace {

class JournalAlertsTest : public AlertsTest {
 protected:
  void SetUp() override {
    AlertsTest::SetUp();
    const std::string path = (root_.path() / "journal.sock").string();
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  void TearDown() override {
    ::close(fd_);
    AlertsTest::TearDown();
  }
  void Configure(const std::string& text) { std::ofstream(root_.path() / "machine.conf") << text; }
  // The datagrams sent so far.
  std::vector<std::string> Entries() {
    std::vector<std::string> entries;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0;) entries.emplace_back(buffer, n);
    return entries;
  }
  int fd_ = -1;
};

TEST_F(JournalAlertsTest, PostedAndUpdatedAlertsAreStructuredEntries) {
  Configure("JournalAlerts = 1\nJournalSocket = journal.sock\n");
  int32_t index = 0;
  double when = kNoEventTime;
  ASSERT_TRUE(PostAlert("Firewall", 85, "Port 80 blocked", "secret detail", "FW-1", "", false, index, false, when, ""));
  ASSERT_TRUE(UpdateAlert(index, 5, " more", false));
  ASSERT_TRUE(ChangeAlertDescription(index, "new"));
  const std::vector<std::string> entries = Entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0],
            "MESSAGE=hearth alert posted in Firewall: Port 80 blocked\n"
            "MESSAGE_ID=ec9e921ad58847bc85b7cdbe66f2b884\n"
            "PRIORITY=2\n"
            "SYSLOG_IDENTIFIER=hearthd\n"
            "HEARTH_STORE=Firewall\n"
            "HEARTH_ALERT_ID=FW-1\n"
            "HEARTH_INDEX=" + std::to_string(index) + "\n"
            "HEARTH_SEVERITY=85\n"
            "HEARTH_SUMMARY=Port 80 blocked\n");
  EXPECT_EQ(entries[1],
            "MESSAGE=hearth alert updated in Firewall: Port 80 blocked\n"
            "MESSAGE_ID=728ff0e9b60f4944a2f4667cd795a270\n"
            "PRIORITY=2\n"
            "SYSLOG_IDENTIFIER=hearthd\n"
            "HEARTH_STORE=Firewall\n"
            "HEARTH_ALERT_ID=FW-1\n"
            "HEARTH_INDEX=" + std::to_string(index) + "\n"
            "HEARTH_SEVERITY=90\n"
            "HEARTH_SUMMARY=Port 80 blocked\n");
  // The description never leaves the store.
  for (const std::string& entry : entries) EXPECT_EQ(entry.find("secret"), std::string::npos);
}

TEST_F(JournalAlertsTest, NothingIsSentUnlessAskedAndAMissingJournalCostsOnlyALogLine) {
  Configure("JournalAlerts = 0\nJournalSocket = journal.sock\n");
  Post("S");
  EXPECT_TRUE(Entries().empty());

  Configure("JournalAlerts = 1\nJournalSocket = nobody-listens.sock\n");
  const int32_t index = Post("S");
  EXPECT_GT(index, 0);
  EXPECT_TRUE(Logged("JournalAlerts: alert " + std::to_string(index) + " not sent to the journal: cannot send to " +
                     (root_.path() / "nobody-listens.sock").string() + ": No such file or directory"));
}

TEST_F(JournalAlertsTest, TheNativeProtocolCarriesNewlinesAndThePriorityFollowsTheSeverity) {
  EXPECT_EQ(platform::host::EncodeJournalEntry({{"A", "one"}, {"B", "two\nlines"}}),
            std::string("A=one\nB\n\x09\0\0\0\0\0\0\0two\nlines\n", 26));
  const std::pair<int, int> priorities[] = {{0, 6}, {19, 6}, {20, 5}, {40, 4}, {59, 4}, {60, 3}, {80, 2}, {100, 2}};
  for (const auto& [severity, priority] : priorities) EXPECT_EQ(JournalPriority(severity), priority) << severity;
}

TEST_F(JournalAlertsTest, ReportLogEntriesNeverGoToTheJournal) {
  Configure("JournalAlerts = 1\nJournalSocket = journal.sock\n");
  WriteLogEntry("REPORT", 1, "https://visited.example/page");
  EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace alerts::testing
