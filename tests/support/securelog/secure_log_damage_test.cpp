// Damage to a log's bytes: what is kept, what is still served, and what is
// cut off (only a torn last record).
#include <fcntl.h>
#include <unistd.h>

#include <functional>

#include "platform/fs/shared_mutex_file.h"
#include "secure_log_fixture.h"

namespace support {
namespace {

std::string Entries(std::initializer_list<const char*> entries) {
  std::string text;
  for (const char* entry : entries) text += std::string(entry) + "\r\n";
  return text;
}

TEST_F(SecureLogTest, DamageBeforeTheEndKeepsEveryByteAndServesWhatStillVerifies) {
  struct Case {
    const char* what;
    std::function<void(std::string& bytes, const std::vector<size_t>& records)> damage;
    std::string served;  // before the next append
    std::string after;   // after it, from the new file
  } cases[] = {
      {"the high byte of the first entry's length raised",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes[records[0] + 4] = '\x7f'; },
       Entries({"bbbb", "cccc", "dddd"}), Entries({"bbbb", "cccc", "dddd", "new"})},
      {"the tag of the second entry overwritten",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes[records[1]] = 'x'; },
       Entries({"aaaa", "bbbb", "cccc", "dddd"}), Entries({"aaaa", "bbbb", "cccc", "dddd", "new"})},
      {"bytes thrown into the middle",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes.insert(records[2], "E\xff\xff\xff\x0fjunk"); },
       Entries({"aaaa", "bbbb", "cccc", "dddd"}), Entries({"aaaa", "bbbb", "cccc", "dddd", "new"})},
      {"the length of the last, synced entry raised",
       [](std::string& bytes, const std::vector<size_t>& records) { bytes[records[3] + 2] = '\x40'; },
       Entries({"aaaa", "bbbb", "cccc"}), Entries({"aaaa", "bbbb", "cccc", "new"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(root_ / "logs");
    {
      auto log = OpenLog();
      for (const char* entry : {"aaaa", "bbbb", "cccc", "dddd"}) log->Append(entry);
      log->Sync();
    }
    std::string bytes = ReadFileBytes(LogFile());
    c.damage(bytes, RecordOffsets(bytes));
    WriteFileBytes(LogFile(), bytes);

    EXPECT_EQ(OpenLog()->GetEntries(false, false), c.served);
    EXPECT_FALSE(Inspect().problems.empty());
    auto log = OpenLog();
    log->Append("new");
    EXPECT_EQ(log->GetEntries(false, false), c.after);
    // The damaged file is kept whole, byte for byte, beside the new one.
    std::vector<std::filesystem::path> aside = FilesStartingWith("report.slog.damaged.");
    ASSERT_EQ(aside.size(), 2u);  // the log and its state file
    std::sort(aside.begin(), aside.end());
    EXPECT_EQ(ReadFileBytes(aside[0]), bytes);
    EXPECT_TRUE(Reported("is damaged; kept as " + aside[0].string()));
  }
}

TEST_F(SecureLogTest, LargeEntriesAfterDamageAreCarriedIntoTheNewFile) {
  std::vector<std::string> entries;
  for (size_t size : {100000u, 100000u, 400000u, 100000u, 70000u}) {
    entries.push_back(std::string(size, static_cast<char>('a' + entries.size())));
  }
  {
    auto log = OpenLog();
    for (const std::string& entry : entries) log->Append(entry);
    log->Sync();
  }
  std::string bytes = ReadFileBytes(LogFile());
  bytes[RecordOffsets(bytes)[1] + 4] = '\x7f';  // the second entry's length runs past the end
  WriteFileBytes(LogFile(), bytes);

  auto log = OpenLog();
  log->Append("new");
  std::string expected;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i != 1) expected += entries[i] + "\r\n";
  }
  expected += "new\r\n";
  EXPECT_TRUE(log->GetEntries(false, false) == expected) << "the entries after the damage were not all carried";
  EXPECT_TRUE(Reported("4 entries carried into a new log, 1 lost"));
}

TEST_F(SecureLogTest, ReadMarksGoWithTheEntriesIntoTheNewFile) {
  {
    auto log = OpenLog();
    for (const char* entry : {"aaaa", "bbbb", "cccc"}) log->Append(entry);
    log->GetEntries(true, true);
    log->Append("dddd");
  }
  std::string bytes = ReadFileBytes(LogFile());
  bytes[RecordOffsets(bytes)[0] + 4] = '\x7f';  // "aaaa" is lost
  WriteFileBytes(LogFile(), bytes);
  auto log = OpenLog();
  log->Append("eeee");
  EXPECT_EQ(log->GetEntries(true, false), Entries({"dddd", "eeee"}));
}

TEST_F(SecureLogTest, OnlyARecordCutShortAtTheEndIsCutOff) {
  {
    auto log = OpenLog();
    log->Append("first");
    log->Sync();
  }
  const std::string whole = ReadFileBytes(LogFile());
  // A torn record that claims more than any entry may hold is damage.
  WriteFileBytes(LogFile(), whole + "E" + Le32(0x7f000000) + "partial");
  OpenLog()->Append("second");
  EXPECT_EQ(FilesStartingWith("report.slog.damaged.").size(), 2u);
  EXPECT_EQ(Inspect().entries, (std::vector<std::string>{"first", "second"}));
}

TEST_F(SecureLogTest, AClearFromAnObjectThatHadTheDamagedFileOpenClearsTheLiveLog) {
  auto earlier = OpenLog();
  earlier->Append("a");
  earlier->Append("b");
  std::string bytes = ReadFileBytes(LogFile());
  bytes[RecordOffsets(bytes)[0] + 4] = '\x7f';
  WriteFileBytes(LogFile(), bytes);

  auto repairing = OpenLog();
  repairing->Append("c");  // keeps the damaged file aside
  std::vector<std::filesystem::path> aside = FilesStartingWith("report.slog.damaged.");
  ASSERT_EQ(aside.size(), 2u);
  std::sort(aside.begin(), aside.end());

  earlier->Clear();
  EXPECT_EQ(ReadFileBytes(aside[0]), bytes) << "the evidence was cleared";
  EXPECT_EQ(repairing->GetEntries(false, false), "");
  earlier->Append("d");
  EXPECT_EQ(earlier->GetEntries(false, true), "d\r\n");
  EXPECT_EQ(repairing->GetEntries(true, false), "");
  EXPECT_TRUE(Inspect().problems.empty());
}

TEST_F(SecureLogTest, ATailBeingWrittenIsNotReportedAsDamage) {
  OpenLog()->Append("first");
  const std::string record = "E" + Le32(6) + "second";
  // Half a record, as a reader sees it in the middle of an append; the
  // writer finishes it while the reader waits for the lock.
  std::string bytes = ReadFileBytes(LogFile());
  bytes += record.substr(0, 4);
  WriteFileBytes(LogFile(), bytes);
  bool looked_again = false;
  SetTailRecheckHookForTesting([&] {
    looked_again = true;
    // The writer, holding the lock, completes the entry.
    auto writer = std::make_unique<SecureLogFile>(folder(), key());
    std::string whole = ReadFileBytes(LogFile());
    whole.resize(whole.size() - 4);
    WriteFileBytes(LogFile(), whole);
    writer->Open("report", "");
    writer->Append("second");
  });
  Inspected inspection = Inspect();
  SetTailRecheckHookForTesting({});
  EXPECT_TRUE(looked_again);
  EXPECT_EQ(inspection.entries, (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(inspection.problems.empty()) << inspection.problems[0];
}

TEST_F(SecureLogTest, ARealTornTailIsStillReportedAfterTheSecondLook) {
  OpenLog()->Append("first");
  WriteFileBytes(LogFile(), ReadFileBytes(LogFile()) + "E" + Le32(100) + "part");
  Inspected inspection = Inspect();
  ASSERT_EQ(inspection.problems.size(), 1u);
  EXPECT_EQ(inspection.problems[0].rfind("torn record at byte ", 0), 0u);
}

}  // namespace
}  // namespace support
