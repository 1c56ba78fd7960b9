// Forward-secure sealing: seals made at the end of each epoch prove the log
// with the verification key, even against someone holding today's keys.
#include <ctime>

#include "secure_log_fixture.h"
#include "support/securelog/chain_mac.h"
#include "support/securelog/log_scanner.h"
#include "support/securelog/seal_keys.h"

namespace support {
namespace {

class SecureLogSealTest : public SecureLogTest {
 protected:
  void SetUp() override {
    SecureLogTest::SetUp();
    securelog::SetSealClockForTesting([this] { return now_; });
  }
  void TearDown() override {
    securelog::SetSealClockForTesting({});
    SecureLogTest::TearDown();
  }
  securelog::VerificationKey SetUpKeys() {
    return securelog::SetUpSealing(securelog::SealingStatePath(key()), 60, now_, false);
  }
  SecureLogInspection Verify(const securelog::VerificationKey& verification) {
    return InspectSecureLog(folder(), "report", key(), EntriesWanted::kNone, {}, &verification);
  }
  // What someone holding the machine key (and nothing older) can do: every
  // entry and mark hashed again after `edit`; seal records kept, or replaced
  // by ones made with the current epoch's key.
  void RewriteWithMachineKey(const std::function<void(std::string& payload)>& edit, bool reseal) {
    const std::string key_text = ReadFileBytes(key());
    securelog::MacKey key_bytes{};
    std::copy(key_text.begin(), key_text.end(), key_bytes.begin());
    const securelog::ChainMac mac(key_bytes);
    const std::string bytes = ReadFileBytes(LogFile());
    const std::string nonce = bytes.substr(19, 32);
    std::string out = bytes.substr(0, securelog::kHeaderSize);
    securelog::Mac last = mac.Start(nonce, "report");
    securelog::Mac previous_seal{};
    const securelog::SealingState state = *securelog::ReadSealingState(securelog::SealingStatePath(key()));
    std::optional<securelog::LogState> log_state = securelog::DecodeState(mac, ReadFileBytes(StateFile()));
    EXPECT_TRUE(log_state);
    uint64_t index = 0;
    for (size_t at = securelog::kHeaderSize; at < bytes.size();) {
      if (bytes[at] == securelog::kRecordTag) {
        const uint32_t length = static_cast<uint32_t>(securelog::ReadLittleEndian(bytes.data() + at + 1, 4));
        std::string payload = bytes.substr(at + 5, length);
        edit(payload);
        last = mac.Entry(last, index++, payload);
        if (log_state && index == log_state->synced) log_state->last = last;
        out += securelog::EncodeRecord(payload, last);
        at += securelog::kRecordOverhead + length;
      } else if (bytes[at] == securelog::kMarkTag) {
        const uint64_t read = securelog::ReadLittleEndian(bytes.data() + at + 1, 8);
        const uint64_t synced = securelog::ReadLittleEndian(bytes.data() + at + 9, 8);
        const uint32_t flags = static_cast<uint32_t>(securelog::ReadLittleEndian(bytes.data() + at + 17, 4));
        last = mac.Mark(last, read, synced, flags);
        out += securelog::EncodeMark(read, synced, flags, last);
        at += securelog::kMarkSize;
      } else {
        securelog::SealRecord seal = securelog::DecodeSeal(std::string_view(bytes).substr(at, securelog::kSealSize));
        seal.chain = last;
        seal.entries = index;
        if (reseal) {
          seal.mac = securelog::SealMac(securelog::SealingKey(state.key), "report", nonce, seal, previous_seal);
        }
        previous_seal = seal.mac;
        out += securelog::EncodeSeal(seal);
        at += securelog::kSealSize;
      }
    }
    WriteFileBytes(LogFile(), out);
    if (log_state) WriteFileBytes(StateFile(), securelog::EncodeState(mac, *log_state));
  }

  std::time_t now_ = 1'800'000'000;
};

bool Mentions(const std::vector<std::string>& problems, const std::string& part) {
  for (const std::string& problem : problems) {
    if (problem.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST_F(SecureLogSealTest, EachEpochEndsWithASealAndTheVerificationKeyProvesIt) {
  const securelog::VerificationKey verification = SetUpKeys();
  auto log = OpenLog();
  log->Append("a");
  log->Append("b");
  now_ += 60;  // epoch 1: the next operation seals epoch 0 first
  log->Append("c");
  now_ += 125;  // epoch 3
  log->Append("d");

  SecureLogInspection inspection = Verify(verification);
  EXPECT_TRUE(inspection.problems.empty()) << inspection.problems[0];
  EXPECT_EQ(inspection.seals, 2u);
  EXPECT_EQ(inspection.sealed_entries, 3u);
  EXPECT_EQ(inspection.first_seal_epoch, 0u);
  EXPECT_EQ(inspection.first_sealed_entries, 2u);
  EXPECT_EQ(inspection.sealed_until, verification.start + 2 * 60);
  // The machine keeps only the key of the epoch it is in.
  const securelog::SealingState state = *securelog::ReadSealingState(securelog::SealingStatePath(key()));
  EXPECT_EQ(state.epoch, 3u);
  securelog::EpochKeys keys(verification);
  EXPECT_EQ(state.key, keys.Key(3));
  const std::string stored = ReadFileBytes(securelog::SealingStatePath(key()));
  for (uint64_t epoch = 0; epoch < 3; ++epoch) {
    const securelog::MacKey old = keys.Key(epoch);
    EXPECT_EQ(stored.find(securelog::HexText(std::string_view(reinterpret_cast<const char*>(old.data()), 32))),
              std::string::npos);
  }
  // Without the verification key the seals are counted, not proven.
  EXPECT_TRUE(Inspect().problems.empty());
}

TEST_F(SecureLogSealTest, ARewriteWithTheMachinesCurrentKeyIsDetectedWithTheVerificationKey) {
  for (bool reseal : {false, true}) {
    SCOPED_TRACE(reseal ? "seals made again with the current epoch's key" : "seals kept");
    std::filesystem::remove_all(root_ / "logs");
    std::filesystem::remove_all(root_ / "keys");
    const securelog::VerificationKey verification = SetUpKeys();
    {
      auto log = OpenLog();
      log->Append("<entry alertid='CF1' >evil.example</entry>");
      log->Append("<entry alertid='CF2' >other.example</entry>");
      now_ += 60;
      log->Append("<entry alertid='CF3' >later.example</entry>");
      now_ += 60;
      log->Sync();
    }
    ASSERT_TRUE(Verify(verification).problems.empty());

    RewriteWithMachineKey(
        [](std::string& payload) {
          if (payload.find("evil.example") != std::string::npos) payload.replace(payload.find("evil"), 4, "good");
        },
        reseal);
    // The machine key's chain is whole again: only the seals tell.
    EXPECT_EQ(Inspect().problems, std::vector<std::string>{});
    const std::vector<std::string> problems = Verify(verification).problems;
    EXPECT_TRUE(Mentions(problems, "does not verify with the verification key")) << problems.size();
  }
}

TEST_F(SecureLogSealTest, SealsRemovedFromTheEndAreSeen) {
  const securelog::VerificationKey verification = SetUpKeys();
  auto log = OpenLog();
  log->Append("a");
  now_ += 60;
  log->Append("b");
  const std::string after_first_seal = ReadFileBytes(LogFile());
  now_ += 60;
  log->Append("c");
  log->Sync();
  WriteFileBytes(LogFile(), after_first_seal);
  EXPECT_TRUE(Mentions(Verify(verification).problems, "but the machine has sealed up to epoch 2"));
}

TEST_F(SecureLogSealTest, WithoutSetUpLogsWorkAsBeforeAndTheKeyFormatIsChecked) {
  auto log = OpenLog();
  log->Append("a");
  now_ += 3600;
  log->Append("b");
  EXPECT_EQ(log->GetEntries(false, false), "a\r\nb\r\n");
  EXPECT_EQ(Inspect().problems, std::vector<std::string>{});
  EXPECT_EQ(LayoutOf(ReadFileBytes(LogFile())).seals, 0u);

  const securelog::VerificationKey made = SetUpKeys();
  EXPECT_THROW(SetUpKeys(), platform::BasicError);
  std::optional<securelog::VerificationKey> parsed =
      securelog::ParseVerificationKey(securelog::VerificationKeyText(made));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->seed, made.seed);
  EXPECT_EQ(parsed->start, made.start);
  EXPECT_EQ(parsed->interval, 60u);
  for (const char* bad : {"", "xyz", "00-1-1", "zz-1-60"}) EXPECT_FALSE(securelog::ParseVerificationKey(bad)) << bad;
  struct Interval {
    const char* text;
    uint64_t seconds;
  } intervals[] = {{"", 900}, {"30", 30}, {"45s", 45}, {"5min", 300}, {"2h", 7200}, {"0", 900}, {"-5", 900},
                   {"10 min", 900}, {"1d", 900}};
  for (const Interval& interval : intervals) {
    EXPECT_EQ(securelog::ParseSealInterval(interval.text), interval.seconds) << interval.text;
  }
}

}  // namespace
}  // namespace support
