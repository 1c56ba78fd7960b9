#include "support/securelog/secure_log_file.h"

#include <gtest/gtest.h>
#include <openssl/hmac.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/basic/err.h"
#include "support/diagnostics/diagnostics.h"
#include "support/securelog/log_format.h"
#include "support/securelog/secure_log_reading.h"
#include "testing/child_process.h"
#include "testing/temp_root.h"

namespace support {
namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string Hmac(const std::string& key, const std::string& data) {
  unsigned char out[32];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(data.data()),
       data.size(), out, &length);
  return std::string(reinterpret_cast<char*>(out), length);
}

std::string Le32(uint32_t n) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((n >> (8 * i)) & 0xff);
  return s;
}

std::string Le64(uint64_t n) {
  std::string s;
  for (int i = 0; i < 8; ++i) s += static_cast<char>((n >> (8 * i)) & 0xff);
  return s;
}

class SecureLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDiagnosticSink([this](const std::string& line) {
      std::lock_guard lock(mutex_);
      diagnostics_.push_back(line);
    });
  }
  void TearDown() override { SetDiagnosticSink({}); }

  std::unique_ptr<SecureLogFile> OpenLog(const std::string& name = "REPORT") {
    auto log = std::make_unique<SecureLogFile>(folder(), key());
    log->Open(name, "{3B7D2A90-6C1E-4f58-A2D4-7E90C1B5F3A6}");
    return log;
  }
  std::string folder() const { return (root_ / "logs").string(); }
  std::string key() const { return (root_ / "keys/securelog.key").string(); }
  std::filesystem::path LogFile(const std::string& stem = "report") const { return root_ / "logs" / (stem + ".slog"); }
  SecureLogInspection Inspect(const std::string& name = "REPORT") { return InspectSecureLog(folder(), name, key()); }
  std::vector<std::string> Diagnostics() {
    std::lock_guard lock(mutex_);
    return diagnostics_;
  }
  bool Reported(const std::string& part) {
    for (const std::string& line : Diagnostics()) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
  // Byte offsets of the records of a log file.
  std::vector<size_t> RecordOffsets(const std::string& bytes) {
    std::vector<size_t> offsets;
    size_t at = securelog::kHeaderSize;
    while (at + 5 <= bytes.size()) {
      offsets.push_back(at);
      uint32_t length = 0;
      for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(bytes[at + 1 + i]);
      at += securelog::kRecordOverhead + length;
    }
    return offsets;
  }

  testing_support::TempRoot root_;
  std::mutex mutex_;
  std::vector<std::string> diagnostics_;
};

TEST_F(SecureLogTest, TheFileHoldsAHeaderThenRecordsChainedByHmac) {
  OpenLog()->Append("<entry a='1' >x</entry>");
  const std::string bytes = ReadFileBytes(LogFile());
  const std::string key_bytes = ReadFileBytes(key());
  ASSERT_EQ(key_bytes.size(), 32u);

  ASSERT_GE(bytes.size(), securelog::kHeaderSize);
  EXPECT_EQ(bytes.substr(0, 19), "HEARTH-SECURELOG 1 ");
  const std::string nonce = bytes.substr(19, 32);
  EXPECT_EQ(nonce.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(bytes[51], '\n');

  const std::string payload = "<entry a='1' >x</entry>";
  const std::string start = Hmac(key_bytes, std::string("hearth secure log chain") + '\0' + nonce + '\0' + "report");
  const std::string mac = Hmac(key_bytes, start + Le64(0) + payload);
  EXPECT_EQ(bytes.substr(52), "E" + Le32(static_cast<uint32_t>(payload.size())) + payload + mac);
}

TEST_F(SecureLogTest, TheKeyIsMadeOnceInARootOnlyFile) {
  OpenLog("a")->Append("1");
  const std::string first = ReadFileBytes(key());
  OpenLog("b")->Append("2");
  EXPECT_EQ(ReadFileBytes(key()), first);
  struct stat status {};
  ASSERT_EQ(::stat(key().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat((root_ / "keys").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(LogFile("a").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST_F(SecureLogTest, ADamagedKeyFileIsNeverReplaced) {
  WriteFileBytes(key(), "short");
  SecureLogFile log(folder(), key());
  EXPECT_THROW(log.Open("REPORT", ""), platform::BasicError);
  EXPECT_EQ(ReadFileBytes(key()), "short");
}

TEST_F(SecureLogTest, GetEntriesHonoursBothFlags) {
  struct Case {
    bool only_unread;
    bool mark_read;
    std::string first;
    std::string second;
  } cases[] = {
      {true, true, "c\r\n", ""},
      {true, false, "c\r\n", "c\r\n"},
      {false, true, "a\r\nb\r\nc\r\n", ""},
      {false, false, "a\r\nb\r\nc\r\n", "c\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.only_unread) + std::to_string(c.mark_read));
    auto log = OpenLog();
    log->Clear();
    log->Append("a");
    log->Append("b");
    EXPECT_EQ(log->GetEntries(true, true), "a\r\nb\r\n");
    log->Append("c");
    EXPECT_EQ(log->GetEntries(c.only_unread, c.mark_read), c.first);
    EXPECT_EQ(log->GetEntries(true, false), c.second);
  }
}

TEST_F(SecureLogTest, EntriesAndReadMarksSurviveARestart) {
  {
    auto log = OpenLog("Report");
    log->Append("one");
    log->Append("two");
    EXPECT_EQ(log->GetEntries(true, true), "one\r\ntwo\r\n");
    log->Append("three");
    log->Sync();
  }
  auto again = OpenLog("REPORT");
  EXPECT_EQ(again->GetEntries(true, false), "three\r\n");
  EXPECT_EQ(again->GetEntries(false, false), "one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(Inspect().read, 2u);
  EXPECT_TRUE(Inspect().problems.empty());
}

TEST_F(SecureLogTest, TwoObjectsOnOneLogKeepOneChain) {
  auto first = OpenLog();
  auto second = OpenLog("report");
  first->Append("1");
  second->Append("2");
  first->Append("3");
  EXPECT_EQ(second->GetEntries(false, false), "1\r\n2\r\n3\r\n");
  EXPECT_TRUE(Inspect().problems.empty());
}

TEST_F(SecureLogTest, AnotherObjectsClearIsSeenEvenWhenTheSizeIsTheSame) {
  auto first = OpenLog();
  first->Clear();
  auto second = OpenLog();  // knows the first generation: a header alone
  first->Clear();           // a new generation, a header of the same size
  second->Append("after");
  SecureLogInspection inspection = Inspect();
  EXPECT_EQ(inspection.entries, std::vector<std::string>{"after"});
  EXPECT_TRUE(inspection.problems.empty());
}

TEST_F(SecureLogTest, ObjectsShareOneLockFileBesideTheLog) {
  auto log = OpenLog();
  log->Append("a");
  struct stat status {};
  ASSERT_EQ(::stat((root_ / "logs/report.lock").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(SecureLogNames(folder()), std::vector<std::string>{"report"});
}

TEST_F(SecureLogTest, WithoutTheLockFileTheLogLocksItselfAndSaysSo) {
  std::filesystem::create_directories(root_ / "logs/report.lock");  // cannot be opened as a file
  auto first = OpenLog();
  auto second = OpenLog();
  first->Append("1");
  second->Append("2");
  EXPECT_EQ(first->GetEntries(false, false), "1\r\n2\r\n");
  EXPECT_TRUE(Inspect().problems.empty());
  EXPECT_TRUE(Reported("cannot use " + (root_ / "logs/report.lock").string()));
}

TEST_F(SecureLogTest, ClearEmptiesTheLogAndStartsANewChain) {
  auto log = OpenLog();
  log->Append("old");
  log->Sync();
  const std::string old_nonce = ReadFileBytes(LogFile()).substr(19, 32);
  log->Clear();
  EXPECT_EQ(log->GetEntries(false, false), "");
  log->Append("new");
  EXPECT_NE(ReadFileBytes(LogFile()).substr(19, 32), old_nonce);
  SecureLogInspection inspection = Inspect();
  EXPECT_EQ(inspection.entries, std::vector<std::string>{"new"});
  EXPECT_TRUE(inspection.problems.empty());
}

TEST_F(SecureLogTest, HandEditsAreDetectedAndTheLogIsStillRead) {
  struct Case {
    const char* what;
    std::function<void(std::string& bytes, const std::vector<size_t>& records)> edit;
    size_t entries_left;
  } cases[] = {
      {"one byte of an entry changed",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes[records[1] + 5] = 'X'; }, 3},
      {"an entry removed",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes.erase(records[1], records[2] - records[1]); },
       2},
      {"two entries swapped",
       [](std::string& bytes, const std::vector<size_t>& records) {
         std::string first = bytes.substr(records[0], records[1] - records[0]);
         std::string second = bytes.substr(records[1], records[2] - records[1]);
         bytes.replace(records[0], first.size() + second.size(), second + first);
       },
       3},
      {"the last synced entry removed",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes.resize(records[2]); }, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      auto log = OpenLog();
      log->Clear();
      log->Append("aaaa");
      log->Append("bbbb");
      log->Append("cccc");
      log->Sync();
    }
    std::string bytes = ReadFileBytes(LogFile());
    c.edit(bytes, RecordOffsets(bytes));
    WriteFileBytes(LogFile(), bytes);

    SecureLogInspection inspection = Inspect();
    EXPECT_FALSE(inspection.problems.empty());
    EXPECT_EQ(inspection.entries.size(), c.entries_left);
    diagnostics_.clear();
    auto log = OpenLog();
    EXPECT_EQ(log->GetEntries(false, false).empty(), false);
    EXPECT_TRUE(Reported("does not verify")) << c.what;
  }
}

TEST_F(SecureLogTest, AnEditedStateFileIsDetected) {
  auto log = OpenLog();
  log->Append("a");
  log->GetEntries(true, true);
  const std::filesystem::path state = root_ / "logs/report.state";
  std::string text = ReadFileBytes(state);
  ASSERT_NE(text.find("read 1\n"), std::string::npos);
  text.replace(text.find("read 1\n"), 7, "read 0\n");
  WriteFileBytes(state, text);
  SecureLogInspection inspection = Inspect();
  EXPECT_EQ(inspection.problems, std::vector<std::string>{"the state file does not verify"});
  EXPECT_EQ(inspection.read, 0u);
}

TEST_F(SecureLogTest, ATornLastRecordIsIgnoredThenCutOffByTheNextAppend) {
  {
    auto log = OpenLog();
    log->Append("first");
    log->Append("second");
  }
  // What a process killed in the middle of a write leaves: part of a record.
  std::string bytes = ReadFileBytes(LogFile());
  const std::string whole = bytes;
  bytes += "E" + Le32(100) + "partial";
  WriteFileBytes(LogFile(), bytes);

  SecureLogInspection torn = Inspect();
  EXPECT_EQ(torn.entries, (std::vector<std::string>{"first", "second"}));
  ASSERT_EQ(torn.problems.size(), 1u);
  EXPECT_NE(torn.problems[0].find("torn record"), std::string::npos);

  OpenLog()->Append("third");
  SecureLogInspection repaired = Inspect();
  EXPECT_EQ(repaired.entries, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_TRUE(repaired.problems.empty());
  EXPECT_EQ(ReadFileBytes(LogFile()).substr(0, whole.size()), whole);
}

TEST_F(SecureLogTest, AProcessKilledWhileAppendingLeavesEveryAcknowledgedEntry) {
  OpenLog()->Append("before");
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  pid_t child = testing_support::StartChild([&] {
    ::close(pipe_fds[0]);
    auto log = OpenLog();
    for (uint32_t i = 0;; ++i) {
      log->Append("entry " + std::to_string(i) + std::string(i % 200, 'x'));
      if (::write(pipe_fds[1], &i, sizeof i) != sizeof i) return 1;
    }
  });
  ::close(pipe_fds[1]);
  uint32_t acknowledged = 0, got = 0;
  size_t count = 0;
  while (count < 300 && ::read(pipe_fds[0], &got, sizeof got) == sizeof got) {
    acknowledged = got;
    ++count;
  }
  ::kill(child, SIGKILL);
  testing_support::WaitChild(child);
  while (::read(pipe_fds[0], &got, sizeof got) == sizeof got) acknowledged = got;
  ::close(pipe_fds[0]);

  SecureLogInspection inspection = Inspect();
  ASSERT_GE(inspection.entries.size(), acknowledged + 2u);
  EXPECT_EQ(inspection.entries[0], "before");
  for (uint32_t i = 0; i <= acknowledged; ++i) {
    EXPECT_EQ(inspection.entries[i + 1], "entry " + std::to_string(i) + std::string(i % 200, 'x'));
  }
  for (const std::string& problem : inspection.problems) EXPECT_EQ(problem.rfind("torn record", 0), 0u) << problem;

  OpenLog()->Append("after");
  SecureLogInspection after = Inspect();
  EXPECT_TRUE(after.problems.empty());
  EXPECT_EQ(after.entries.back(), "after");
}

TEST_F(SecureLogTest, DamageInTheMiddleIsKeptAsideAndTheLogGoesOn) {
  auto log = OpenLog();
  log->Append("a");
  log->Append("b");
  std::string bytes = ReadFileBytes(LogFile());
  bytes[RecordOffsets(bytes)[1]] = '?';
  WriteFileBytes(LogFile(), bytes);

  auto again = OpenLog();
  again->Append("c");
  EXPECT_EQ(again->GetEntries(false, false), "c\r\n");
  EXPECT_TRUE(Reported("is damaged; kept as"));
  size_t aside = 0;
  for (const auto& item : std::filesystem::directory_iterator(root_ / "logs")) {
    if (item.path().filename().string().rfind("report.slog.damaged.", 0) == 0) {
      ++aside;
      EXPECT_EQ(ReadFileBytes(item.path()), bytes);
    }
  }
  EXPECT_EQ(aside, 1u);
}

TEST_F(SecureLogTest, AnObjectThatHadTheDamagedFileOpenFollowsToTheNewLog) {
  auto earlier = OpenLog();
  earlier->Append("a");
  earlier->Append("b");
  std::string bytes = ReadFileBytes(LogFile());
  bytes[RecordOffsets(bytes)[1]] = '?';
  WriteFileBytes(LogFile(), bytes);

  auto repairing = OpenLog();
  repairing->Append("c");  // moves the damaged file aside
  earlier->Append("d");
  EXPECT_EQ(repairing->GetEntries(false, false), "c\r\nd\r\n");
  EXPECT_TRUE(Inspect().problems.empty());
}

TEST_F(SecureLogTest, NamesFoldCaseAndNeverLeaveTheFolder) {
  OpenLog("Web Filter")->Append("1");
  OpenLog("../../escape")->Append("2");
  EXPECT_EQ(SecureLogNames(folder()), (std::vector<std::string>{"../../escape", "web filter"}));
  EXPECT_TRUE(std::filesystem::exists(root_ / "logs/web%20filter.slog"));
  EXPECT_TRUE(std::filesystem::exists(root_ / "logs/%2e%2e%2f%2e%2e%2fescape.slog"));
  EXPECT_EQ(Inspect("WEB FILTER").entries, std::vector<std::string>{"1"});
  SecureLogFile unnamed(folder(), key());
  EXPECT_THROW(unnamed.Open("", ""), platform::BasicError);
  EXPECT_THROW(unnamed.Append("x"), platform::BasicError);
}

}  // namespace
}  // namespace support
