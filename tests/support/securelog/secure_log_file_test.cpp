#include "secure_log_fixture.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "platform/basic/err.h"
#include "support/securelog/machine_key.h"
#include "testing/child_process.h"

namespace support {
namespace {

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

  // The generation's first mark (nothing read, nothing synced), then the
  // entry, chained to it.
  const std::string payload = "<entry a='1' >x</entry>";
  const std::string start = Hmac(key_bytes, std::string("hearth secure log chain") + '\0' + nonce + '\0' + "report");
  const std::string mark_mac =
      Hmac(key_bytes, start + std::string(8, '\xff') + "mark" + Le64(0) + Le64(0) + std::string(4, '\0'));
  const std::string mark = "M" + Le64(0) + Le64(0) + std::string(4, '\0') + mark_mac;
  const std::string mac = Hmac(key_bytes, mark_mac + Le64(0) + payload);
  EXPECT_EQ(bytes.substr(52), mark + "E" + Le32(static_cast<uint32_t>(payload.size())) + payload + mac);
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

TEST_F(SecureLogTest, AKeyFileOfAnotherSizeIsKeptAsideAndANewKeyMade) {
  // What a crash while the key was made could leave before: an empty file,
  // which was then taken for the key's place for ever.
  for (const std::string& left : {std::string(), std::string("short")}) {
    SCOPED_TRACE(left.size());
    std::filesystem::remove_all(root_ / "keys");
    WriteFileBytes(key(), left);
    OpenLog()->Append("after");
    EXPECT_EQ(ReadFileBytes(key()).size(), 32u);
    std::vector<std::filesystem::path> aside;
    for (const auto& item : std::filesystem::directory_iterator(root_ / "keys")) {
      if (item.path().filename().string().rfind("securelog.key.damaged.", 0) == 0) aside.push_back(item.path());
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(aside[0]), left);
    EXPECT_TRUE(Reported("the secure log key " + key() + " is damaged (" + std::to_string(left.size()) + " bytes)"));
  }
}

TEST_F(SecureLogTest, ThreadsMakingTheFirstKeyAtOnceAgreeOnOneWholeKey) {
  // A work file the old code would have shared (and truncated) is in the way.
  std::filesystem::create_directories(root_ / "keys");
  std::filesystem::create_directories(key() + ".new." + std::to_string(::getpid()));
  std::vector<securelog::MacKey> keys(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < keys.size(); ++i) {
    threads.emplace_back([&, i] { keys[i] = securelog::LoadOrCreateMachineKey(key()); });
  }
  for (std::thread& thread : threads) thread.join();
  for (const securelog::MacKey& made : keys) EXPECT_EQ(made, keys[0]);
  const std::string stored = ReadFileBytes(key());
  ASSERT_EQ(stored.size(), 32u);
  EXPECT_EQ(stored, std::string(reinterpret_cast<const char*>(keys[0].data()), 32));
  for (const auto& item : std::filesystem::directory_iterator(root_ / "keys")) {
    const std::string name = item.path().filename().string();
    EXPECT_TRUE(name == "securelog.key" || name.rfind("securelog.key.new.", 0) == 0) << name;
    if (name.rfind("securelog.key.new.", 0) == 0) {
      EXPECT_TRUE(item.is_directory()) << "work file left: " << name;
    }
  }
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
  Inspected inspection = Inspect();
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
  Inspected inspection = Inspect();
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

    Inspected inspection = Inspect();
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
  Inspected inspection = Inspect();
  EXPECT_EQ(inspection.problems, std::vector<std::string>{"the state file does not verify"});
  // The log's own mark record still says what was read.
  EXPECT_EQ(inspection.read, 1u);
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

  Inspected torn = Inspect();
  EXPECT_EQ(torn.entries, (std::vector<std::string>{"first", "second"}));
  ASSERT_EQ(torn.problems.size(), 1u);
  EXPECT_NE(torn.problems[0].find("torn record"), std::string::npos);

  OpenLog()->Append("third");
  Inspected repaired = Inspect();
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

  Inspected inspection = Inspect();
  ASSERT_GE(inspection.entries.size(), acknowledged + 2u);
  EXPECT_EQ(inspection.entries[0], "before");
  for (uint32_t i = 0; i <= acknowledged; ++i) {
    EXPECT_EQ(inspection.entries[i + 1], "entry " + std::to_string(i) + std::string(i % 200, 'x'));
  }
  for (const std::string& problem : inspection.problems) EXPECT_EQ(problem.rfind("torn record", 0), 0u) << problem;

  OpenLog()->Append("after");
  Inspected after = Inspect();
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

  // Only the tag byte of "b" is damaged: the entry itself still verifies
  // and goes on with the others (it was dropped before).
  auto again = OpenLog();
  again->Append("c");
  EXPECT_EQ(again->GetEntries(false, false), "a\r\nb\r\nc\r\n");
  EXPECT_TRUE(Reported("is damaged; kept as"));
  size_t aside = 0;
  for (const auto& item : std::filesystem::directory_iterator(root_ / "logs")) {
    const std::string name = item.path().filename().string();
    if (name.rfind("report.slog.damaged.", 0) == 0 && item.path().extension() != ".state") {
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
  EXPECT_EQ(repairing->GetEntries(false, false), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(Inspect().problems, std::vector<std::string>{"after entry 0: the entries were carried over from a damaged file"});
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
