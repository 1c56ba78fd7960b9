// The secure logs and alert signals on a private bus: listing with counts
// and verification state, entries, mark read, verify (who may read entries:
// hearth_member_test.cpp), and AlertChanged.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "private_bus.h"
#include "testing/temp_root.h"

namespace bus_test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr char kIo[] = "/com/norvale/Hearth/IoNotify";
constexpr char kIoIface[] = "com.norvale.Hearth.cIoNotify";

class BusSecureLogTest : public ::testing::Test {
 protected:
  void SetUp() override { bus_.StartService(); }

  // One "REPORT" entry through the service's own road (the "logalert" action).
  void Report(const std::string& host, const std::string& alert_id) {
    const std::string message = "<m><action type='logalert'><entrytype>REPORT</entrytype><host>" + host +
                                "</host><alertid>" + alert_id + "</alertid><date>1/2/2024</date></action></m>";
    Finished f = bus_.Call(kIo, kIoIface, "DoXMLAction", {"s", message});
    ASSERT_EQ(f.exit_code, 0) << f.err;
  }

  std::filesystem::path LogFile() const {
    return bus_.root() / "commonfiles/Norvale/QORC/prf/securelog/report.slog";
  }

  // busctl's answer with its \' turned back into '.
  std::string Answer(const std::string& member, const std::vector<std::string>& args = {}) {
    std::string out = bus_.Call(kIo, kIoIface, member, args).out;
    for (size_t at = out.find("\\'"); at != std::string::npos; at = out.find("\\'", at + 1)) out.erase(at, 1);
    return out;
  }

  PrivateBus bus_;
};

TEST_F(BusSecureLogTest, TheLogsAreListedWithTheirCountsAndMarkReadAnswersWhatItMarked) {
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogs").out, "iasaiaiasas 0 0 0 0 0 0\n");
  Report("one.example", "CF1");
  Report("two.example", "CF2");
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogs").out,
            "iasaiaiasas 1 1 \"report\" 1 2 1 2 1 \"verifies\" 1 \"\"\n");

  // Reading marks nothing; the unread are the newest entries.
  const std::string entries = Answer("IoGetSecureLogEntries", {"s", "Report"});
  EXPECT_EQ(entries.rfind("iasi 2 2 \"<entry alertid='CF1' when='", 0), 0u) << entries;
  EXPECT_NE(entries.find(">one.example</entry>\" \"<entry alertid='CF2'"), std::string::npos) << entries;
  EXPECT_NE(entries.find(">two.example</entry>\" 2\n"), std::string::npos) << entries;
  EXPECT_EQ(Answer("IoGetSecureLogEntries", {"s", "report"}), entries);

  const std::string marked = Answer("IoMarkSecureLogRead", {"s", "REPORT"});
  EXPECT_EQ(marked.rfind("ias 2 2 \"<entry alertid='CF1'", 0), 0u) << marked;
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoMarkSecureLogRead", {"s", "report"}).out, "ias 0 0\n");
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogs").out,
            "iasaiaiasas 1 1 \"report\" 1 2 1 0 1 \"verifies\" 1 \"\"\n");

  // An unknown name is not created by asking.
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoMarkSecureLogRead", {"s", "nothing"}).out, "ias 0 0\n");
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogEntries", {"s", "nothing"}).out, "iasi 0 0 0\n");
  EXPECT_FALSE(std::filesystem::exists(LogFile().parent_path() / "nothing.slog"));
}

TEST_F(BusSecureLogTest, VerifySaysWhatItFoundInTheServicesWords) {
  Report("one.example", "CF1");
  Report("two.example", "CF2");
  struct Case {
    std::string name, key, answer;
  };
  const std::vector<Case> before = {
      {"report", "", "bas true 1 \"secure log 'report': 2 entries, the chain verifies\"\n"},
      {"nothing", "", "bas false 1 \"no secure log named 'nothing'\"\n"},
      {"report", "not-a-key", "bas false 1 \"the verification key is not one setup-keys printed\"\n"},
  };
  for (const Case& c : before) {
    SCOPED_TRACE(c.name + " " + c.key);
    EXPECT_EQ(Answer("IoVerifySecureLog", {"ss", c.name, c.key}), c.answer);
  }

  // A byte of the second entry changed by hand.
  std::string bytes = testing_support::ReadFileBytes(LogFile());
  const size_t at = bytes.rfind("two.example");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'T';
  std::ofstream(LogFile(), std::ios::binary | std::ios::trunc) << bytes;

  EXPECT_EQ(Answer("IoVerifySecureLog", {"ss", "report", ""}),
            "bas false 1 \"secure log 'report' does not verify: entry 2 does not verify (edited, removed, "
            "reordered or written with another key)\"\n");
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogs").out,
            "iasaiaiasas 1 1 \"report\" 1 2 1 2 1 \"does not verify\" 1 \"entry 2 does not verify (edited, removed, "
            "reordered or written with another key)\"\n");
}

TEST_F(BusSecureLogTest, ALogThatCannotBeReadIsListedAsSuchAndNeverReadAsEmpty) {
  Report("one.example", "CF1");
  const std::filesystem::path folder = LogFile().parent_path();
  // Things in a log's place that no reader can take as a log: a folder, and
  // a FIFO (opened as a file it would block the reader until a writer came).
  std::filesystem::create_directory(folder / "other.slog");
  ASSERT_EQ(::mkfifo((folder / "fifo.slog").c_str(), 0600), 0);
  const std::string why = "it cannot be read (secure log: " + (folder / "fifo.slog").string() +
                          " is not a regular file)";
  const std::string why_other = "it cannot be read (secure log: " + (folder / "other.slog").string() +
                                " is not a regular file)";

  // The log that can be read is still listed, the others say why not.
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogs").out,
            "iasaiaiasas 3 3 \"fifo\" \"other\" \"report\" 3 0 0 1 3 0 0 1 3 \"does not verify\" \"does not verify\" "
            "\"verifies\" 3 \"" + why + "\" \"" + why_other + "\" \"\"\n");
  EXPECT_EQ(Answer("IoVerifySecureLog", {"ss", "FIFO", ""}),
            "bas false 1 \"secure log 'fifo' does not verify: " + why + "\"\n");
  // Reading its entries is a failure with the reason, not an empty log.
  for (const char* member : {"IoGetSecureLogEntries", "IoMarkSecureLogRead"}) {
    SCOPED_TRACE(member);
    Finished f = bus_.Call(kIo, kIoIface, member, {"s", "other"});
    EXPECT_NE(f.exit_code, 0) << f.out;
    EXPECT_NE(f.err.find("secure log 'other': it cannot be read"), std::string::npos) << f.err;
  }
  EXPECT_EQ(Answer("IoGetSecureLogEntries", {"s", "report"}).rfind("iasi 1 1 \"<entry alertid='CF1'", 0), 0u);
}

// A log of `count` entries of `size` bytes each, written by hand (their
// hashes are not the machine key's: the entries are still handed over).
void WriteLargeLog(const std::filesystem::path& path, int count, size_t size) {
  std::string bytes = "HEARTH-SECURELOG 1 " + std::string(32, 'a') + "\n";
  bytes.reserve(bytes.size() + static_cast<size_t>(count) * (size + 37));
  for (int i = 0; i < count; ++i) {
    bytes += 'E';
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((size >> shift) & 0xFF);
    std::string payload = "<entry>" + std::to_string(i) + "</entry>";
    payload.resize(size, ' ');
    bytes += payload;
    bytes += std::string(32, 'm');
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(BusSecureLogTest, EntriesTooManyForOneAnswerGiveTheNewestAndTheServiceKeepsTheBus) {
  Report("one.example", "CF1");
  // 40 MB: more than the bus carries in one message (32 MiB by default).
  WriteLargeLog(LogFile().parent_path() / "big.slog", 40000, 1000);
  Finished f = bus_.Call(kIo, kIoIface, "IoGetSecureLogEntries", {"s", "big"});
  EXPECT_EQ(f.exit_code, 0) << f.err;
  EXPECT_EQ(f.out.rfind("iasi 40000 ", 0), 0u) << "the count is the log's" << f.out.substr(0, 100);
  EXPECT_NE(f.out.find("<entry>39999</entry>"), std::string::npos) << "the newest entries are answered";
  EXPECT_EQ(f.out.find("<entry>0</entry>"), std::string::npos) << "the oldest are left out";
  EXPECT_LT(f.out.size(), 32u << 20);
  // Any other answer that large is refused with why, never sent.
  Finished action = bus_.Call(kIo, kIoIface, "DoXMLAction",
                              {"s", "<m><action type='getsecurelog' logname='big' onlyunread='false' "
                                    "markread='false'/></m>"});
  EXPECT_NE(action.exit_code, 0);
  EXPECT_NE(action.err.find("is larger than one message on the bus may be"), std::string::npos) << action.err;
  EXPECT_TRUE(bus_.LogLines("Bus: lost the system bus").empty());
  EXPECT_EQ(bus_.Call(kIo, kIoIface, "IoGetSecureLogs").exit_code, 0);
}

TEST_F(BusSecureLogTest, AVerificationKeyGivesTheSealedRange) {
  Finished setup = bus_.Run({ProgramPath("hearthctl"), "--root", bus_.root().string(), "securelog", "setup-keys"});
  ASSERT_EQ(setup.exit_code, 0) << setup.err;
  const std::string key = setup.out.substr(setup.out.rfind("\n\n") + 2, setup.out.size() - setup.out.rfind("\n\n") - 3);
  Report("one.example", "CF1");
  EXPECT_EQ(Answer("IoVerifySecureLog", {"ss", "report", key}),
            "bas true 2 \"secure log 'report': 1 entries, the chain verifies\" \"secure log 'report': not sealed "
            "yet\"\n");
}

TEST(BusAlertSignalTest, PostUpdateAndDeleteRaiseAlertChangedInOrder) {
  PrivateBus bus;
  bus.StartService();
  auto monitor = bus.StartMonitor();
  Finished posted = bus.Call(kIo, kIoIface, "IoPostAlert",
                             {"syssssbibvs", "Firewall", "10", "summary", "description", "ID1", "", "false", "0",
                              "false", "(sv)", "Date", "d", "29221", ""});
  ASSERT_EQ(posted.exit_code, 0) << posted.err;
  ASSERT_EQ(bus.Call(kIo, kIoIface, "IoSetAlertUserProc", {"i", "1"}).exit_code, 0);
  // The "alertpost" action takes the same road as any other writer.
  ASSERT_EQ(bus.Call(kIo, kIoIface, "DoXMLAction",
                     {"s", "<m><action type='alertpost' storename='Wavelock' Summary='s' description='d'/></m>"})
                .exit_code,
            0);
  ASSERT_EQ(bus.Call(kIo, kIoIface, "IoDeleteAlert", {"i", "1"}).exit_code, 0);
  const std::string seen = bus.WaitForOutput("monitor", "'deleted'");
  monitor->Signal(SIGTERM);
  monitor->Wait();
  std::vector<std::string> lines;
  std::istringstream in(seen);
  for (std::string line; std::getline(in, line);) {
    if (line.find("AlertChanged") != std::string::npos) lines.push_back(line);
  }
  const std::string prefix = "/com/norvale/Hearth/IoNotify: com.norvale.Hearth.cIoNotify.AlertChanged ";
  const std::vector<std::string> expected = {prefix + "(1, 'posted')", prefix + "(1, 'updated')",
                                             prefix + "(2, 'posted')", prefix + "(1, 'deleted')"};
  EXPECT_EQ(lines, expected) << seen;
}

TEST(BusAlertSignalTest, HearthctlPostsAndDeletesThroughTheRunningServiceSoItsClientsHear) {
  PrivateBus bus;
  bus.StartService();
  auto monitor = bus.StartMonitor();
  const std::vector<std::string> ctl = {ProgramPath("hearthctl"), "--root", bus.root().string(), "alerts"};
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), ctl.begin(), ctl.end());
    return bus.Run(args);
  };
  Finished posted = run({"post", "Firewall", "20", "Port scan", "Seen twice", "--id", "FW001"});
  ASSERT_EQ(posted.exit_code, 0) << posted.err;
  EXPECT_EQ(posted.out, "1\n");
  Finished deleted = run({"delete", "1"});
  EXPECT_EQ(deleted.exit_code, 0) << deleted.err;
  EXPECT_EQ(run({"delete", "1"}).exit_code, 1);  // gone
  const std::string seen = bus.WaitForOutput("monitor", "'deleted'");
  monitor->Signal(SIGTERM);
  monitor->Wait();
  EXPECT_NE(seen.find("AlertChanged (1, 'posted')"), std::string::npos) << seen;
  EXPECT_NE(seen.find("AlertChanged (1, 'deleted')"), std::string::npos) << seen;
}

}  // namespace
}  // namespace bus_test
