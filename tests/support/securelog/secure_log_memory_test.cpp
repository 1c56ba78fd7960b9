// A log of 2 GiB is read as a stream: reading its unread entries takes
// little more memory than reading an empty log.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>

#include "secure_log_fixture.h"
#include "support/securelog/chain_mac.h"
#include "testing/child_process.h"

namespace support {
namespace {

// Peak resident memory (KiB) of a child that opens the log and reads its
// unread entries, which must be `expected`.
long PeakOfReading(const std::string& folder, const std::string& key, const std::string& name,
                   const std::string& expected) {
  const pid_t child = testing_support::StartChild([&] {
    SecureLogFile log(folder, key);
    log.Open(name, "");
    return log.GetEntries(true, false) == expected ? 0 : 3;
  });
  int status = 0;
  struct rusage usage {};
  EXPECT_EQ(::wait4(child, &status, 0, &usage), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  return usage.ru_maxrss;
}

void WriteAt(int fd, uint64_t at, const std::string& bytes) {
  ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)), static_cast<ssize_t>(bytes.size()));
}

TEST_F(SecureLogTest, ReadingTheUnreadEntriesOfATwoGigabyteLogTakesLittleMemory) {
  OpenLog("empty")->Append("made");
  OpenLog("empty")->GetEntries(true, true);
  const std::string key_text = ReadFileBytes(key());
  securelog::MacKey key_bytes{};
  std::copy(key_text.begin(), key_text.end(), key_bytes.begin());
  const securelog::ChainMac mac(key_bytes);

  // 128 entries of 16 MiB whose payloads are holes of the sparse file, all
  // read, then one small unread entry.
  const std::string nonce = securelog::NewNonce();
  const int fd = ::open(LogFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  uint64_t at = 0;
  const securelog::Mac start = mac.Start(nonce, "report");
  const securelog::Mac mark = mac.Mark(start, 0, 0, 0);
  WriteAt(fd, at, securelog::EncodeHeader(nonce) + securelog::EncodeMark(0, 0, 0, mark));
  at += securelog::kHeaderSize + securelog::kMarkSize;
  securelog::Mac last = mark;
  const std::string zeros(1 << 20, '\0');
  constexpr uint64_t kBig = 128;
  constexpr uint32_t kLength = 16u << 20;
  for (uint64_t i = 0; i < kBig; ++i) {
    securelog::ChainMac::EntryHash hash(mac, last, i);
    for (uint32_t done = 0; done < kLength; done += zeros.size()) hash.Add(zeros);
    last = hash.Finish();
    WriteAt(fd, at, "E" + Le32(kLength));
    WriteAt(fd, at + 5 + kLength, std::string(securelog::AsText(last)));
    at += securelog::kRecordOverhead + kLength;
  }
  const std::string unread = "<entry alertid='CF1' >the unread one</entry>";
  last = mac.Entry(last, kBig, unread);
  WriteAt(fd, at, securelog::EncodeRecord(unread, last));
  ::close(fd);
  securelog::LogState state;
  state.nonce = nonce;
  state.read = kBig;
  state.synced = kBig + 1;
  state.last = last;
  state.marks = 1;
  WriteFileBytes(StateFile(), securelog::EncodeState(mac, state));
  ASSERT_GE(std::filesystem::file_size(LogFile()), 2ull << 30);

  const long empty = PeakOfReading(folder(), key(), "empty", "");
  const long big = PeakOfReading(folder(), key(), "report", unread + "\r\n");
  std::cout << "peak resident memory reading unread entries: empty log " << empty << " KiB, 2 GiB log " << big
            << " KiB (+" << (big - empty) << " KiB)\n";
  RecordProperty("peak_kib_empty", std::to_string(empty));
  RecordProperty("peak_kib_2gib", std::to_string(big));
  EXPECT_LT(big - empty, 64 * 1024);
  EXPECT_TRUE(InspectSecureLog(folder(), "report", key()).problems.empty());
}

}  // namespace
}  // namespace support
