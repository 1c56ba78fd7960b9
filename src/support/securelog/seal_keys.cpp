#include "support/securelog/seal_keys.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "platform/root/machine_root.h"
#include "support/diagnostics/diagnostics.h"
#include "support/securelog/secure_log_file.h"
#include "support/securelog/secure_log_reading.h"

namespace support::securelog {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  platform::RaiseError(platform::kErrPathFileAccess, "secure log sealing: " + what, "SecureLog");
}

MacKey Derive(const MacKey& key, std::string_view label) {
  const Mac mac = ChainMac(key).Compute({label});
  MacKey out{};
  std::memcpy(out.data(), mac.data(), out.size());
  return out;
}

std::string Digits(uint64_t value) {
  std::string text = std::to_string(value);
  return std::string(20 - text.size(), '0') + text;
}

std::optional<uint64_t> Number(std::string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t next = value * 10 + static_cast<uint64_t>(c - '0');
    if (next / 10 != value) return std::nullopt;
    value = next;
  }
  return value;
}

std::string EncodeSealingState(const SealingState& state) {
  const std::string text = "HEARTH-SEAL 1\nstart " + Digits(state.start) + "\ninterval " + Digits(state.interval) +
                           "\nepoch " + Digits(state.epoch) + "\nkey " +
                           HexText(std::string_view(reinterpret_cast<const char*>(state.key.data()), 32)) + "\n";
  return text + "check " + HexText(AsText(ChainMac(state.key).Compute({"hearth secure log seal state", text}))) + "\n";
}

std::optional<SealingState> DecodeSealingState(std::string_view text) {
  const size_t check_at = text.rfind("check ");
  if (check_at == std::string_view::npos || text.substr(0, 14) != "HEARTH-SEAL 1\n") return std::nullopt;
  SealingState state;
  std::string_view body = text.substr(14, check_at - 14);
  int seen = 0;
  while (!body.empty()) {
    const size_t end = body.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = body.substr(0, end);
    body.remove_prefix(end + 1);
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const std::string_view name = line.substr(0, blank), value = line.substr(blank + 1);
    if (name == "key") {
      std::optional<std::string> bytes = HexBytes(value);
      if (!bytes || bytes->size() != state.key.size()) return std::nullopt;
      std::memcpy(state.key.data(), bytes->data(), state.key.size());
    } else {
      std::optional<uint64_t> number = Number(value);
      if (!number) return std::nullopt;
      if (name == "start") state.start = *number;
      else if (name == "interval") state.interval = *number;
      else if (name == "epoch") state.epoch = *number;
      else return std::nullopt;
    }
    ++seen;
  }
  if (seen != 4 || state.interval == 0) return std::nullopt;
  if (EncodeSealingState(state) != text) return std::nullopt;
  return state;
}

std::function<std::time_t()>& Clock() {
  static std::function<std::time_t()> clock;
  return clock;
}

void WriteAllAt(int fd, const std::string& text, const std::string& path) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) Fail("cannot write " + path + ": " + std::strerror(errno));
    done += static_cast<size_t>(wrote);
  }
  if (::fdatasync(fd) != 0) Fail("cannot sync " + path + ": " + std::strerror(errno));
}

}  // namespace

std::string VerificationKeyText(const VerificationKey& key) {
  return HexText(std::string_view(reinterpret_cast<const char*>(key.seed.data()), key.seed.size())) + "-" +
         std::to_string(key.start) + "-" + std::to_string(key.interval);
}

std::optional<VerificationKey> ParseVerificationKey(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  const size_t first = text.find('-');
  const size_t second = first == std::string_view::npos ? first : text.find('-', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  std::optional<std::string> seed = HexBytes(text.substr(0, first));
  std::optional<uint64_t> start = Number(text.substr(first + 1, second - first - 1));
  std::optional<uint64_t> interval = Number(text.substr(second + 1));
  if (!seed || seed->size() != 32 || !start || !interval || *interval == 0) return std::nullopt;
  VerificationKey key;
  std::memcpy(key.seed.data(), seed->data(), 32);
  key.start = *start;
  key.interval = *interval;
  return key;
}

MacKey EpochZeroKey(const MacKey& seed) { return Derive(seed, "hearth secure log seal epoch 0"); }
MacKey NextEpochKey(const MacKey& key) { return Derive(key, "hearth secure log seal next epoch"); }
MacKey SealingKey(const MacKey& epoch_key) { return Derive(epoch_key, "hearth secure log seal"); }

Mac SealMac(const MacKey& sealing_key, std::string_view folded_name, std::string_view nonce, const SealRecord& seal,
            const Mac& previous_seal) {
  return ChainMac(sealing_key)
      .Compute({"hearth secure log seal", std::string_view("\0", 1), folded_name, std::string_view("\0", 1), nonce,
                LittleEndian(seal.epoch, 8), LittleEndian(seal.next_epoch, 8), LittleEndian(seal.entries, 8),
                AsText(seal.chain), AsText(previous_seal)});
}

EpochKeys::EpochKeys(const VerificationKey& key)
    : verification_(key), epoch_(0), key_(EpochZeroKey(key.seed)) {}

MacKey EpochKeys::Key(uint64_t epoch) {
  if (epoch < epoch_) {
    epoch_ = 0;
    key_ = EpochZeroKey(verification_.seed);
  }
  for (; epoch_ < epoch; ++epoch_) key_ = NextEpochKey(key_);
  return key_;
}

uint64_t ParseSealInterval(std::string_view text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  std::optional<uint64_t> number = Number(text.substr(0, digits));
  const std::string_view unit = text.substr(digits);
  uint64_t scale = 0;
  if (unit.empty() || unit == "s") scale = 1;
  else if (unit == "min") scale = 60;
  else if (unit == "h") scale = 3600;
  if (!number || scale == 0 || *number == 0 || *number > UINT32_MAX) return kDefaultSealInterval;
  return *number * scale;
}

uint64_t ConfiguredSealInterval() {
  return ParseSealInterval(platform::MachineConfigValue("SecureLogSealInterval", ""));
}

std::string SealingStatePath(const std::string& machine_key_path) {
  return (std::filesystem::path(machine_key_path).parent_path() / "securelog.seal").string();
}

uint64_t EpochAt(uint64_t start, uint64_t interval, std::time_t now) {
  if (now < 0 || static_cast<uint64_t>(now) < start || interval == 0) return 0;
  return (static_cast<uint64_t>(now) - start) / interval;
}

VerificationKey SetUpSealing(const std::string& state_path, uint64_t interval, std::time_t now, bool replace) {
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::path(state_path).parent_path();
  std::filesystem::create_directories(folder, ignored);
  ::chmod(folder.c_str(), 0700);
  VerificationKey verification;
  if (RAND_bytes(verification.seed.data(), static_cast<int>(verification.seed.size())) != 1) Fail("no random bytes");
  verification.start = static_cast<uint64_t>(now);
  verification.interval = interval;
  SealingState state;
  state.start = verification.start;
  state.interval = interval;
  state.key = EpochZeroKey(verification.seed);
  const std::string text = EncodeSealingState(state);
  if (replace) {
    if (!platform::fs::WriteFileDurably(state_path, text)) Fail("cannot write " + state_path);
    ::chmod(state_path.c_str(), 0600);
    return verification;
  }
  const int fd = ::open(state_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0 && errno == EEXIST) Fail(state_path + " exists: sealing is set up already");
  if (fd < 0) Fail("cannot create " + state_path + ": " + std::strerror(errno));
  WriteAllAt(fd, text, state_path);
  ::close(fd);
  platform::fs::SyncPath(folder.string());
  return verification;
}

std::optional<SealingState> ReadSealingState(const std::string& state_path) {
  std::optional<std::string> text = platform::fs::ReadWholeFile(state_path);
  if (!text) return std::nullopt;
  std::optional<SealingState> state = DecodeSealingState(*text);
  if (!state) Fail(state_path + " is damaged: run \"hearthctl securelog setup-keys --force\" to seal again");
  return state;
}

std::time_t AdvanceSealing(const std::string& log_folder, const std::string& machine_key_path, std::time_t now) {
  const std::string path = SealingStatePath(machine_key_path);
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return 0;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) Fail("cannot lock " + path + ": " + std::strerror(errno));
  }
  // Read through the locked descriptor (a file held locked reads as
  // missing through the whole-file reader).
  std::string text(512, '\0');
  const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
  if (got < 0) Fail("cannot read " + path + ": " + std::strerror(errno));
  text.resize(static_cast<size_t>(got));
  std::optional<SealingState> state = DecodeSealingState(text);
  if (!state) Fail(path + " is damaged: run \"hearthctl securelog setup-keys --force\" to seal again");
  const uint64_t epoch = EpochAt(state->start, state->interval, now);
  if (epoch > state->epoch) {
    // Every log is sealed with the key of the epoch that ends, so that each
    // log's seals run from one epoch to the next without a gap.
    const MacKey sealing = SealingKey(state->key);
    for (const std::string& name : SecureLogNames(log_folder)) {
      try {
        SecureLogFile log(log_folder, machine_key_path);
        log.Open(name, {});
        log.Seal(state->epoch, epoch, sealing);
      } catch (const std::exception& error) {
        // The other logs are still sealed; this one's seals will show the gap.
        ReportDiagnostic("SecureLog - secure log '" + name + "' could not be sealed for epoch " +
                         std::to_string(state->epoch) + ": " + error.what());
      }
    }
    MacKey key = state->key;
    for (uint64_t e = state->epoch; e < epoch; ++e) key = NextEpochKey(key);
    state->epoch = epoch;
    state->key = key;
    // Overwritten in place: the old key's bytes do not stay behind in a
    // file of their own.
    WriteAllAt(fd, EncodeSealingState(*state), path);
  }
  return static_cast<std::time_t>(state->start + (state->epoch + 1) * state->interval);
}

std::time_t SealClockNow() { return Clock() ? Clock()() : std::time(nullptr); }

void SetSealClockForTesting(std::function<std::time_t()> clock) { Clock() = std::move(clock); }

}  // namespace support::securelog
