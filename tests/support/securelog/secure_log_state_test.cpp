// The state file (read marks, the last sync) against the mark records in the
// log: what verify sees, and that no failing state file is overwritten.
#include <string_view>

#include "secure_log_fixture.h"

namespace support {
namespace {

bool Contains(const std::vector<std::string>& problems, const std::string& part) {
  for (const std::string& problem : problems) {
    if (problem.find(part) != std::string::npos) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& problems) {
  std::string text;
  for (const std::string& problem : problems) text += problem + "\n";
  return text;
}

TEST_F(SecureLogTest, EntriesAreOnDiskBeforeTheMarkThatCountsThemIsSaved) {
  auto log = OpenLog();
  log->Append("a");
  log->Append("b");
  std::vector<std::string> steps;
  SetSecureLogDurabilityObserverForTesting([&](std::string_view step) { steps.emplace_back(step); });
  log->GetEntries(true, true);
  log->Append("c");
  log->Sync();
  SetSecureLogDurabilityObserverForTesting({});
  EXPECT_EQ(steps, (std::vector<std::string>{"sync log", "write state", "append mark", "sync log", "write state",
                                             "append mark"}));
}

class SecureLogStateTest : public SecureLogTest {
 protected:
  // A fresh log synced after the entries `first`, then after one more.
  // Answers the state file as the first sync left it.
  std::string SyncedTwice(std::initializer_list<const char*> first) {
    std::filesystem::remove_all(root_ / "logs");
    auto log = OpenLog();
    for (const char* entry : first) log->Append(entry);
    log->Sync();
    std::string earlier = ReadFileBytes(StateFile());
    log->Append("last");
    log->Sync();
    return earlier;
  }
};

TEST_F(SecureLogStateTest, VerifySeesAStateFileRemovedPutBackOrAtOddsWithTheLog) {
  struct Case {
    const char* what;
    std::function<void(const std::string& earlier_state)> tamper;
    std::vector<std::string> expected;  // parts of the problems
  } cases[] = {
      {"the state file deleted and the synced entries cut off",
       [this](const std::string&) {
         std::filesystem::remove(StateFile());
         std::string bytes = ReadFileBytes(LogFile());
         bytes.resize(RecordOffsets(bytes)[1]);
         WriteFileBytes(LogFile(), bytes);
       },
       {"the state file is missing"}},
      {"an earlier state file of the same generation put back",
       [this](const std::string& earlier) { WriteFileBytes(StateFile(), earlier); },
       {"the state file is older than the log's marks (put back from earlier)"}},
      {"the log cut to its bare header",
       [this](const std::string&) {
         WriteFileBytes(LogFile(), ReadFileBytes(LogFile()).substr(0, securelog::kHeaderSize));
       },
       {"mark records were removed from the log: the state file records 3, the log holds 0",
        "entries removed: 3 were synced, 0 are left"}},
      {"a bare header of a new generation in its place",
       [this](const std::string&) { WriteFileBytes(LogFile(), securelog::EncodeHeader(securelog::NewNonce())); },
       {"the state file belongs to another generation of the log"}},
      {"the log file emptied",
       [this](const std::string&) { WriteFileBytes(LogFile(), ""); },
       {"the log file was emptied: its state file records entries or marks"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string earlier = SyncedTwice({"a", "b"});
    ASSERT_TRUE(Inspect().problems.empty());
    c.tamper(earlier);
    const std::vector<std::string> problems = Inspect().problems;
    for (const std::string& part : c.expected) EXPECT_TRUE(Contains(problems, part)) << Joined(problems);
  }
}

TEST_F(SecureLogStateTest, AFailingStateFileIsKeptAsideAndTheLogRemembersIt) {
  struct Case {
    const char* what;
    std::function<void(const std::string& earlier_state)> tamper;
    std::function<void(SecureLogFile&)> next;
    const char* remembered;
  } cases[] = {
      {"an earlier state file put back, then entries read",
       [this](const std::string& earlier) { WriteFileBytes(StateFile(), earlier); },
       [](SecureLogFile& log) { log.GetEntries(true, true); }, "the state file was older than the log"},
      {"the state file edited, then a sync",
       [this](const std::string&) {
         std::string text = ReadFileBytes(StateFile());
         text.replace(text.find("read 0"), 6, "read 9");
         WriteFileBytes(StateFile(), text);
       },
       [](SecureLogFile& log) {
         log.Append("d");
         log.Sync();
       },
       "the state file did not verify"},
      {"the state file deleted, then a clear",
       [this](const std::string&) { std::filesystem::remove(StateFile()); },
       [](SecureLogFile& log) { log.Clear(); }, "the state file was missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.tamper(SyncedTwice({"a"}));
    const bool had_state = std::filesystem::exists(StateFile());
    const std::string evidence = had_state ? ReadFileBytes(StateFile()) : "";
    auto log = OpenLog();
    c.next(*log);
    std::vector<std::filesystem::path> aside = FilesStartingWith("report.state.rejected.");
    if (had_state) {
      ASSERT_EQ(aside.size(), 1u);
      EXPECT_EQ(ReadFileBytes(aside[0]), evidence);
    }
    const std::vector<std::string> problems = Inspect().problems;
    EXPECT_TRUE(Contains(problems, c.remembered)) << Joined(problems);
  }
}

TEST_F(SecureLogTest, LogsWrittenBeforeMarkRecordsStillReadAndVerify) {
  // A log and state file as they were written before mark records: entries
  // chained straight from the start, a state file of four lines.
  OpenLog("other")->Append("makes the key");
  const std::string key_bytes = ReadFileBytes(key());
  const std::string nonce(32, 'a');
  std::string bytes = securelog::EncodeHeader(nonce);
  std::string last = Hmac(key_bytes, std::string("hearth secure log chain") + '\0' + nonce + '\0' + "report");
  for (uint64_t i = 0; i < 3; ++i) {
    const std::string payload = "old " + std::to_string(i);
    last = Hmac(key_bytes, last + Le64(i) + payload);
    bytes += "E" + Le32(static_cast<uint32_t>(payload.size())) + payload + last;
  }
  WriteFileBytes(LogFile(), bytes);
  EXPECT_TRUE(Inspect().problems.empty()) << "without a state file";
  std::string hex;
  for (unsigned char ch : last) hex += "0123456789abcdef"[ch >> 4], hex += "0123456789abcdef"[ch & 15];
  const std::string text = "nonce " + nonce + "\nread 2\nsynced 3\nlast " + hex + "\n";
  const std::string mac = Hmac(key_bytes, "hearth secure log state" + text);
  std::string mac_hex;
  for (unsigned char ch : mac) mac_hex += "0123456789abcdef"[ch >> 4], mac_hex += "0123456789abcdef"[ch & 15];
  WriteFileBytes(StateFile(), text + "mac " + mac_hex + "\n");

  Inspected inspection = Inspect();
  EXPECT_TRUE(inspection.problems.empty()) << Joined(inspection.problems);
  EXPECT_EQ(inspection.read, 2u);
  auto log = OpenLog();
  EXPECT_EQ(log->GetEntries(true, true), "old 2\r\n");
  log->Append("new");
  log->Sync();
  inspection = Inspect();
  EXPECT_TRUE(inspection.problems.empty()) << Joined(inspection.problems);
  EXPECT_EQ(inspection.entries, (std::vector<std::string>{"old 0", "old 1", "old 2", "new"}));
  EXPECT_EQ(inspection.read, 3u);
}

TEST_F(SecureLogTest, AGenerationStartOrClearCutShortByACrashIsFinished) {
  auto log = OpenLog();
  log->Append("old");
  log->Sync();
  // What a crash after the new generation's state file was saved, before
  // the log was emptied, leaves: the state of the Clear beside the old log.
  const std::string before_clear = ReadFileBytes(LogFile());
  log->Clear();
  WriteFileBytes(LogFile(), before_clear);
  EXPECT_TRUE(Inspect().problems.empty()) << Joined(Inspect().problems);
  auto again = OpenLog();
  again->Append("new");
  Inspected inspection = Inspect();
  EXPECT_EQ(inspection.entries, std::vector<std::string>{"new"});
  EXPECT_TRUE(inspection.problems.empty()) << Joined(inspection.problems);
}

}  // namespace
}  // namespace support
