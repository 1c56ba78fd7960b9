#include "support/securelog/secure_log_reading.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "platform/fs/shared_mutex_file.h"
#include "support/securelog/log_check.h"
#include "support/securelog/log_format.h"
#include "support/securelog/log_scanner.h"
#include "support/securelog/machine_key.h"
#include "support/securelog/seal_keys.h"

namespace support {
namespace {

// The log's lock, as its writers take it: the shared mutex when its file is
// there, else the file lock on the log.
class ReaderLock {
 public:
  ReaderLock(const std::string& lock_path, int fd) : fd_(fd) {
    if (::access(lock_path.c_str(), F_OK) == 0 && shared_.Open(lock_path) &&
        shared_.Lock() != platform::fs::SharedMutexFile::Taken::kFailed) {
      held_shared_ = true;
      return;
    }
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~ReaderLock() {
    if (held_shared_) {
      shared_.Unlock();
    } else {
      ::flock(fd_, LOCK_UN);
    }
  }
  ReaderLock(const ReaderLock&) = delete;
  ReaderLock& operator=(const ReaderLock&) = delete;

 private:
  int fd_;
  platform::fs::SharedMutexFile shared_;
  bool held_shared_ = false;
};

std::unique_ptr<securelog::ChainMac> LoadKey(const std::string& key_file) {
  std::optional<std::string> key_bytes = platform::fs::ReadWholeFile(key_file);
  if (!key_bytes || key_bytes->size() != securelog::MacKey{}.size()) return nullptr;
  securelog::MacKey key{};
  std::copy(key_bytes->begin(), key_bytes->end(), key.begin());
  return std::make_unique<securelog::ChainMac>(key);
}

std::function<void()>& TailRecheckHook() {
  static std::function<void()> hook;
  return hook;
}

bool TailDamaged(const securelog::ScanResult& log) {
  if (log.damage.empty()) return false;
  const securelog::Damage& last = log.damage.back();
  return last.offset + last.length >= log.size;
}

// The machine's sealing state must be the one the verification key leads
// to, and every log it sealed must hand over to the epoch it holds now: a
// log whose seals stop earlier lost its last seals (and what followed them).
void CheckAgainstSealingState(const std::string& key_file, const securelog::VerificationKey& verification,
                              securelog::EpochKeys& keys, const securelog::ScanResult& log,
                              std::vector<std::string>* problems) {
  std::optional<securelog::SealingState> state;
  try {
    state = securelog::ReadSealingState(securelog::SealingStatePath(key_file));
  } catch (const std::exception& error) {
    problems->push_back(error.what());
    return;
  }
  if (!state) {
    problems->push_back("sealing is not set up on this machine (no " + securelog::SealingStatePath(key_file) + ")");
    return;
  }
  if (state->start != verification.start || state->interval != verification.interval ||
      keys.Key(state->epoch) != state->key) {
    problems->push_back("the machine's sealing state does not come from this verification key");
    return;
  }
  if (log.last_seal && log.last_seal->seal.next_epoch != state->epoch) {
    problems->push_back("the last seal hands over to epoch " + std::to_string(log.last_seal->seal.next_epoch) +
                        ", but the machine has sealed up to epoch " + std::to_string(state->epoch) +
                        ": later seals, and the entries they covered, were removed");
  }
}

}  // namespace

void SetTailRecheckHookForTesting(std::function<void()> hook) { TailRecheckHook() = std::move(hook); }

std::vector<std::string> SecureLogNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    const std::filesystem::path& path = item.path();
    if (path.extension() != securelog::kLogSuffix) continue;
    if (std::optional<std::string> name = securelog::LogNameOfStem(path.stem().string())) names.push_back(*name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

SecureLogInspection InspectSecureLog(const std::string& folder, const std::string& name, const std::string& key_path,
                                     EntriesWanted wanted, const std::function<void(std::string_view)>& entry,
                                     const securelog::VerificationKey* verification_key) {
  SecureLogInspection inspection;
  inspection.name = securelog::FoldedLogName(name);
  const std::string stem = folder + "/" + securelog::LogFileStem(name);
  const std::string log_path = stem + securelog::kLogSuffix;
  // Never blocks on a FIFO put in the log's place; only a regular file is read.
  const int fd = ::open(log_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return inspection;
  inspection.exists = true;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    platform::RaiseError(platform::kErrDeviceIo, "secure log: " + log_path + " is not a regular file", "SecureLog");
  }

  const std::string key_file = key_path.empty() ? securelog::MachineKeyPath() : key_path;
  std::unique_ptr<securelog::ChainMac> mac = LoadKey(key_file);
  std::optional<std::string> state_text = platform::fs::ReadWholeFile(stem + securelog::kStateSuffix);
  std::optional<securelog::LogState> state;
  if (mac != nullptr && state_text) state = securelog::DecodeState(*mac, *state_text);

  securelog::ScanHooks hooks;
  if (state) hooks.capture_at = {state->synced, state->read};
  std::vector<std::string> seal_problems;
  std::optional<securelog::EpochKeys> epoch_keys;
  if (verification_key != nullptr) epoch_keys.emplace(*verification_key);
  std::optional<securelog::FoundSeal> previous_seal;
  hooks.seal = [&](const securelog::FoundSeal& found) {
    const securelog::SealRecord& seal = found.seal;
    const std::string where = "the seal at byte " + std::to_string(found.offset) + " (epoch " +
                              std::to_string(seal.epoch) + ")";
    if (seal.entries != found.at.entries || seal.chain != found.at.last) {
      seal_problems.push_back(where + " does not close the log as it stands before it");
    }
    if (seal.next_epoch <= seal.epoch) seal_problems.push_back(where + " hands over to an earlier epoch");
    if (previous_seal && previous_seal->seal.next_epoch != seal.epoch) {
      seal_problems.push_back("seals are missing between epoch " + std::to_string(previous_seal->seal.next_epoch) +
                              " and " + where);
    }
    if (epoch_keys) {
      const securelog::Mac previous = previous_seal ? previous_seal->seal.mac : securelog::Mac{};
      const securelog::MacKey sealing = securelog::SealingKey(epoch_keys->Key(seal.epoch));
      if (securelog::SealMac(sealing, inspection.name, found.nonce, seal, previous) != seal.mac) {
        seal_problems.push_back(where + " does not verify with the verification key: the log before it was " +
                                "changed after it was sealed");
      }
    }
    if (!previous_seal) {
      inspection.first_seal_epoch = seal.epoch;
      inspection.first_sealed_entries = seal.entries;
    }
    previous_seal = found;
  };
  // The unread entries are handed over once the scan has said where the
  // read mark stands (the log's own marks may overrule the state file).
  if (wanted == EntriesWanted::kAll) {
    hooks.payloads_from = 0;
    hooks.entry = [&](uint64_t, std::string_view payload) { entry(payload); };
  }
  securelog::FileSource source(fd, log_path);
  securelog::ScanResult log = securelog::ScanLog(source, mac.get(), inspection.name, hooks);
  if (TailDamaged(log)) {
    // Perhaps an append in progress: look at the tail again under the lock.
    if (TailRecheckHook()) TailRecheckHook()();
    ReaderLock lock(stem + securelog::kLockSuffix, fd);
    securelog::ScanResult before = log;
    before.damage.pop_back();
    before.torn_tail = false;
    securelog::FileSource locked(fd, log_path);
    log = securelog::ContinueScan(locked, mac.get(), inspection.name, before, before.end, hooks);
    if (state_text) state_text = platform::fs::ReadWholeFile(stem + securelog::kStateSuffix);
  }
  const securelog::StateCheck check = securelog::CheckState(mac.get(), log, inspection.name, state_text);
  inspection.entries = log.end.entries;
  inspection.read = std::min<uint64_t>(check.state.read, log.end.entries);
  if (wanted == EntriesWanted::kUnread && inspection.read < log.end.entries) {
    // Only the bytes the scan looked at: entries appended since are not shown.
    securelog::ScanHooks show;
    show.payloads_from = inspection.read;
    show.entry = [&](uint64_t, std::string_view payload) { entry(payload); };
    securelog::FileSource again(fd, log_path, log.size);
    const securelog::ChainPoint* point = log.Captured(inspection.read);
    if (point != nullptr && log.damage.empty()) {
      securelog::ContinueScan(again, mac.get(), inspection.name, log, *point, show);
    } else {
      securelog::ScanLog(again, mac.get(), inspection.name, show);
    }
  }
  inspection.seals = log.seals;
  if (log.last_seal) inspection.sealed_entries = log.last_seal->seal.entries;
  if (verification_key != nullptr) {
    inspection.seals_checked = true;
    if (log.last_seal) {
      inspection.sealed_until = verification_key->start + (log.last_seal->seal.epoch + 1) * verification_key->interval;
    }
    CheckAgainstSealingState(key_file, *verification_key, *epoch_keys, log, &seal_problems);
  }
  if (mac == nullptr) {
    inspection.problems.push_back("the secure log key " + key_file + " is missing or damaged");
    for (const securelog::Damage& damage : log.damage) inspection.problems.push_back(damage.reason);
  } else {
    inspection.problems = securelog::LogProblems(log, check);
  }
  inspection.problems.insert(inspection.problems.end(), seal_problems.begin(), seal_problems.end());
  return inspection;
}

}  // namespace support
