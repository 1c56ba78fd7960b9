#include "support/securelog/secure_log_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <utility>

#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "support/diagnostics/diagnostics.h"
#include "support/securelog/log_check.h"
#include "support/securelog/machine_key.h"
#include "support/securelog/seal_keys.h"

namespace support {

using securelog::ChainPoint;
using securelog::LogState;
using securelog::ScanHooks;
using securelog::ScanResult;
using securelog::StateCheck;
using securelog::StateStanding;

namespace {

[[noreturn]] void Fail(const std::string& what) {
  platform::RaiseError(platform::kErrDeviceIo, "secure log: " + what, "SecureLog");
}

std::string ErrnoText() { return std::strerror(errno); }

// A name beside `path` that nothing holds yet: path + suffix + time, with a
// count after it when that is taken.
std::string AsideName(const std::string& path, const std::string& suffix) {
  const std::string base = path + suffix + std::to_string(std::time(nullptr));
  std::string name = base;
  for (int i = 1; ::access(name.c_str(), F_OK) == 0; ++i) name = base + "-" + std::to_string(i);
  return name;
}

std::function<void(std::string_view)>& DurabilityObserver() {
  static std::function<void(std::string_view)> observer;
  return observer;
}

void Observe(std::string_view step) {
  if (DurabilityObserver()) DurabilityObserver()(step);
}

std::function<ssize_t(int, const void*, size_t)>& WriteForTesting() {
  static std::function<ssize_t(int, const void*, size_t)> write;
  return write;
}

std::chrono::milliseconds& PathLookInterval() {
  static std::chrono::milliseconds interval = std::chrono::seconds(1);
  return interval;
}

// Only a regular file is a log: a FIFO in its place would block every read.
int OpenLogFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return fd;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t wrote = WriteForTesting() ? WriteForTesting()(fd, data.data(), data.size())
                                      : ::write(fd, data.data(), data.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    data.remove_prefix(static_cast<size_t>(wrote));
  }
  return true;
}

}  // namespace

std::string SecureLogFolder(const std::string& profile_folder) { return profile_folder + "/securelog"; }

// Holds the log's lock: the shared mutex, or else an exclusive file lock on
// the log (flock: per open file, so it also keeps two objects of one process
// apart). The descriptor is held by reference: when a damaged file is moved
// aside the file lock goes with the new file.
class SecureLogFile::Lock {
 public:
  explicit Lock(SecureLogFile& log) : log_(log), shared_(log.shared_lock_.IsOpen()) {
    if (shared_) {
      switch (log_.shared_lock_.Lock()) {
        case platform::fs::SharedMutexFile::Taken::kTaken: return;
        case platform::fs::SharedMutexFile::Taken::kOwnerDied:
          // A holder died in the middle: look at the whole file again.
          log_.known_valid_ = false;
          return;
        case platform::fs::SharedMutexFile::Taken::kFailed: Fail("cannot lock the log: " + ErrnoText());
      }
    }
    while (::flock(log_.fd_, LOCK_EX) != 0) {
      if (errno != EINTR) Fail("cannot lock the log: " + ErrnoText());
    }
  }
  ~Lock() {
    if (shared_) {
      log_.shared_lock_.Unlock();
    } else {
      ::flock(log_.fd_, LOCK_UN);
    }
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  SecureLogFile& log_;
  const bool shared_;
};

void SetSecureLogDurabilityObserverForTesting(std::function<void(std::string_view)> observer) {
  DurabilityObserver() = std::move(observer);
}

void SetSecureLogWriteForTesting(std::function<ssize_t(int, const void*, size_t)> write) {
  WriteForTesting() = std::move(write);
}

void SetSecureLogPathLookIntervalForTesting(std::chrono::milliseconds interval) { PathLookInterval() = interval; }

SecureLogFile::SecureLogFile(std::string folder, std::string key_path)
    : folder_(std::move(folder)), key_path_(std::move(key_path)) {
  if (key_path_.empty()) key_path_ = securelog::MachineKeyPath();
}

SecureLogFile::~SecureLogFile() {
  if (fd_ >= 0) ::close(fd_);
}

void SecureLogFile::Open(const std::string& log_name, const std::string& /*log_identifier*/) {
  if (log_name.empty()) Fail("a log needs a name");
  mac_ = std::make_unique<securelog::ChainMac>(securelog::LoadOrCreateMachineKey(key_path_));
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  const std::string stem = securelog::LogFileStem(log_name);
  std::string log_path = folder_ + "/" + stem + securelog::kLogSuffix;
  int fd = OpenLogFile(log_path);
  if (fd < 0) Fail("cannot open " + log_path + ": " + ErrnoText());
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  RememberFile();
  name_ = log_name;
  folded_ = securelog::FoldedLogName(log_name);
  log_path_ = std::move(log_path);
  state_path_ = folder_ + "/" + stem + securelog::kStateSuffix;
  known_valid_ = false;
  read_point_.reset();
  reported_.clear();
  // Without the shared lock file (a folder that cannot hold one), the file
  // lock on the log serves; said once, as objects that lock differently do
  // not keep each other out.
  const std::string lock_path = folder_ + "/" + stem + securelog::kLockSuffix;
  if (!shared_lock_.Open(lock_path)) {
    ReportDiagnostic("SecureLog - secure log '" + name_ + "': cannot use " + lock_path + " (" + ErrnoText() +
                     "), locking the log file itself");
  }
  Lock lock(*this);
  Refresh(false);
}

void SecureLogFile::RequireOpen() const {
  if (fd_ < 0) Fail("the log is not open");
}

std::optional<std::string> SecureLogFile::ReadStateText() const { return platform::fs::ReadWholeFile(state_path_); }

StateCheck SecureLogFile::CheckState(const std::optional<std::string>& state_text) const {
  return securelog::CheckState(mac_.get(), known_, folded_, state_text);
}

void SecureLogFile::NoteChange() {
  if (shared_lock_.IsOpen()) seen_changes_ = shared_lock_.Bump();
}

void SecureLogFile::RememberFile() {
  struct stat open_file {};
  if (::fstat(fd_, &open_file) != 0) Fail("cannot read " + log_path_ + ": " + ErrnoText());
  file_device_ = open_file.st_dev;
  file_inode_ = open_file.st_ino;
}

void SecureLogFile::LookAtPath() {
  // Objects count the files they move aside as changes; a log moved or
  // removed by hand is not counted, and is noticed within a second (the
  // interval): a look at the path costs as much as the rest of an append.
  const auto now = std::chrono::steady_clock::now();
  if (known_valid_ && shared_lock_.IsOpen() && shared_lock_.Changes() == seen_changes_ && now < next_path_look_) {
    return;
  }
  next_path_look_ = now + PathLookInterval();
  FollowPath();
}

bool SecureLogFile::FollowPath() {
  struct stat at_path {};
  if (::stat(log_path_.c_str(), &at_path) == 0 && at_path.st_dev == file_device_ && at_path.st_ino == file_inode_) {
    return false;
  }
  int fd = OpenLogFile(log_path_);
  if (fd < 0) Fail("cannot open " + log_path_ + ": " + ErrnoText());
  // With the file lock, the new file is locked before the old one is let go
  // (closing it drops its lock); the caller's Lock then releases the new one.
  if (!shared_lock_.IsOpen()) ::flock(fd, LOCK_EX);
  ::close(fd_);
  fd_ = fd;
  RememberFile();
  known_valid_ = false;
  read_point_.reset();
  return true;
}

void SecureLogFile::Learn(ScanResult log) {
  known_ = std::move(log);
  known_.captured.clear();
  known_valid_ = true;
}

void SecureLogFile::Refresh(bool repair) {
  LookAtPath();
  // Nobody changed the log since this object last looked, and its size is
  // what this object left (a hand edit that changes the size is seen too).
  if (known_valid_ && (!repair || !needs_repair_) &&
      (!shared_lock_.IsOpen() || shared_lock_.Changes() == seen_changes_)) {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) Fail("cannot read " + log_path_ + ": " + ErrnoText());
    if (static_cast<uint64_t>(end) == known_.size) return;
  }
  seen_changes_ = shared_lock_.IsOpen() ? shared_lock_.Changes() : 0;
  const std::optional<std::string> state_text = ReadStateText();
  ScanHooks hooks;
  if (state_text) {
    if (std::optional<LogState> state = securelog::DecodeState(*mac_, *state_text)) {
      hooks.capture_at = {state->synced, state->read};
    }
  }
  securelog::FileSource source(fd_, log_path_);
  ScanResult log = known_valid_ && known_.clean()
                       ? securelog::ContinueScan(source, mac_.get(), folded_, known_, known_.end, hooks)
                       : securelog::ScanLog(source, mac_.get(), folded_, hooks);
  const StateCheck check = securelog::CheckState(mac_.get(), log, folded_, state_text);
  ReportProblems(log, check);
  if (const ChainPoint* point = log.Captured(check.state.read)) read_point_ = *point;
  if (read_point_ && (read_point_->entries != check.state.read || !log.clean())) read_point_.reset();
  const bool pending = !log.damage.empty() || check.standing == StateStanding::kInterruptedStart ||
                       check.standing == StateStanding::kInterruptedClear;
  Learn(std::move(log));
  needs_repair_ = pending;
  if (repair && pending) {
    Repair(known_, check);
    needs_repair_ = false;
  }
}

void SecureLogFile::ReportProblems(const ScanResult& log, const StateCheck& check) {
  for (const std::string& problem : securelog::LogProblems(log, check)) {
    if (std::find(reported_.begin(), reported_.end(), problem) != reported_.end()) continue;
    reported_.push_back(problem);
    ReportDiagnostic("SecureLog - secure log '" + name_ + "' (" + log_path_ + ") does not verify: " + problem);
  }
}

void SecureLogFile::Repair(ScanResult& log, const StateCheck& check) {
  if (check.standing == StateStanding::kInterruptedClear || check.standing == StateStanding::kInterruptedStart) {
    // The state file already records the new generation: the log catches up.
    NoteChange();
    if (::ftruncate(fd_, 0) != 0) Fail("cannot clear " + log_path_ + ": " + ErrnoText());
    known_.size = 0;
    const securelog::Mac start = mac_->Start(check.state.nonce, folded_);
    const securelog::Mac mark = mac_->Mark(start, 0, 0, 0);
    AppendBytes(securelog::EncodeHeader(check.state.nonce) + securelog::EncodeMark(0, 0, 0, mark));
    securelog::FileSource source(fd_, log_path_);
    Learn(securelog::ScanLog(source, mac_.get(), folded_));
    read_point_.reset();
    return;
  }
  if (log.damage.empty()) return;
  // Only the file's real tail can be torn: a record cut short by the end of
  // the file, never synced, with nothing found after it. It was never
  // acknowledged, so it goes.
  if (log.torn_tail && log.damage.size() == 1 && log.end.entries >= check.state.synced) {
    NoteChange();
    if (::ftruncate(fd_, static_cast<off_t>(log.end.offset)) != 0) Fail("cannot repair " + log_path_);
    ReportDiagnostic("SecureLog - secure log '" + name_ + "': cut off a torn last record at byte " +
                     std::to_string(log.end.offset));
    log.damage.clear();
    log.torn_tail = false;
    log.size = log.end.offset;
    return;
  }
  Salvage(log, check);
}

void SecureLogFile::Salvage(ScanResult& damaged, const StateCheck& check) {
  const ScanResult log = damaged;  // `damaged` is this object's knowledge, which is replaced below
  // Any other damage keeps every byte: the file is kept aside as evidence,
  // and every entry that can still be found and verified goes on in a new
  // file, in order, with the read marks it had.
  const std::string aside = AsideName(log_path_, ".damaged.");
  NoteChange();
  if (::rename(log_path_.c_str(), aside.c_str()) != 0) Fail("cannot move aside " + log_path_ + ": " + ErrnoText());
  const int old_fd = fd_;
  fd_ = OpenLogFile(log_path_);
  if (fd_ < 0) {
    fd_ = old_fd;
    Fail("cannot open " + log_path_ + ": " + ErrnoText());
  }
  RememberFile();
  if (!shared_lock_.IsOpen()) ::flock(fd_, LOCK_EX);
  if (::access(state_path_.c_str(), F_OK) == 0) {
    ::rename(state_path_.c_str(), (aside + securelog::kStateSuffix).c_str());
  }
  known_ = ScanResult{};
  StartGeneration(securelog::kMarkSalvaged, log.nonce);

  const uint64_t old_read = std::min<uint64_t>(check.state.read, log.end.entries);
  uint64_t carried = 0, carried_read = 0;
  std::string batch;
  ChainPoint& end = known_.end;
  ScanHooks hooks;
  hooks.payloads_from = 0;
  hooks.entry = [&](uint64_t index, std::string_view payload) {
    const securelog::Mac mac = mac_->Entry(end.last, end.entries, payload);
    batch += securelog::EncodeRecord(payload, mac);
    end.offset += securelog::kRecordOverhead + payload.size();
    end.last = end.last_entry = mac;
    ++end.entries;
    ++carried;
    if (index < old_read) ++carried_read;
    if (batch.size() >= (1u << 20)) {
      AppendBytes(batch);
      batch.clear();
    }
  };
  {
    securelog::FileSource source(old_fd, aside);
    securelog::ScanLog(source, mac_.get(), folded_, hooks);
  }
  ::close(old_fd);
  AppendBytes(batch);
  known_.size = end.offset;
  if (::fdatasync(fd_) != 0) Fail("cannot sync " + log_path_ + ": " + ErrnoText());
  StateCheck fresh;
  fresh.standing = StateStanding::kAgrees;
  WriteMarks(carried_read, carried, fresh);
  read_point_.reset();
  ReportDiagnostic("SecureLog - secure log '" + name_ + "' is damaged; kept as " + aside + ", " +
                   std::to_string(carried) + " entries carried into a new log, " +
                   std::to_string(log.end.entries - carried) + " lost");
}

void SecureLogFile::AppendBytes(const std::string& bytes) {
  if (bytes.empty()) return;
  NoteChange();
  // Under the lock the file ends where this object knows it does: asking
  // the file would cost a system call on every append.
  const off_t before = known_valid_ ? static_cast<off_t>(known_.size) : ::lseek(fd_, 0, SEEK_END);
  if (!WriteAll(fd_, bytes)) {
    const std::string reason = ErrnoText();
    // Nothing half-written stays behind to hide later entries.
    if (before < 0 || ::ftruncate(fd_, before) != 0) known_valid_ = false;
    Fail("cannot append to " + log_path_ + ": " + reason);
  }
  known_.size += bytes.size();
}

void SecureLogFile::WriteState(const LogState& state) {
  Observe("write state");
  if (!platform::fs::WriteFileDurably(state_path_, securelog::EncodeState(*mac_, state))) {
    Fail("cannot write " + state_path_);
  }
  ::chmod(state_path_.c_str(), 0600);
}

void SecureLogFile::KeepStateAside(const std::string& why) {
  if (::access(state_path_.c_str(), F_OK) != 0) return;
  const std::string aside = AsideName(state_path_, ".rejected.");
  if (::rename(state_path_.c_str(), aside.c_str()) != 0) Fail("cannot move aside " + state_path_ + ": " + ErrnoText());
  ReportDiagnostic("SecureLog - secure log '" + name_ + "': " + why + "; the state file is kept as " + aside);
}

void SecureLogFile::StartGeneration(uint32_t flags, const std::string& previous) {
  LogState state;
  state.nonce = securelog::NewNonce();
  state.marks = 1;
  state.previous = previous;
  state.last = mac_->Start(state.nonce, folded_);
  WriteState(state);
  NoteChange();
  if (::ftruncate(fd_, 0) != 0) Fail("cannot clear " + log_path_ + ": " + ErrnoText());
  known_.size = 0;
  known_valid_ = true;
  const securelog::Mac mark = mac_->Mark(state.last, 0, 0, flags);
  const std::string bytes = securelog::EncodeHeader(state.nonce) + securelog::EncodeMark(0, 0, flags, mark);
  AppendBytes(bytes);
  ScanResult log;
  log.has_header = true;
  log.nonce = state.nonce;
  log.size = bytes.size();
  log.end.offset = bytes.size();
  log.end.last = mark;
  log.end.last_entry = state.last;
  log.marks = 1;
  log.last_mark = securelog::FoundMark{securelog::kHeaderSize, 0, 0, 0, flags, mark};
  if (flags != 0) log.flagged_marks.push_back(*log.last_mark);
  Learn(std::move(log));
  read_point_ = known_.end;
}

void SecureLogFile::WriteMarks(uint64_t read, uint64_t synced, const StateCheck& check) {
  uint32_t flags = 0;
  if (securelog::IsEvidence(check.standing)) {
    flags = securelog::FlagOf(check.standing);
    KeepStateAside(securelog::MarkFlagsText(flags));
  }
  LogState state;
  state.nonce = known_.nonce;
  state.read = read;
  state.synced = synced;
  state.last = known_.end.last_entry;
  state.marks = known_.marks + 1;
  WriteState(state);
  const securelog::Mac mark = mac_->Mark(known_.end.last, read, synced, flags);
  Observe("append mark");
  try {
    AppendBytes(securelog::EncodeMark(read, synced, flags, mark));
  } catch (const platform::BasicError&) {
    // The marks were not saved: the state file goes back to what it was, or
    // entries the caller never got would count as read.
    if (check.standing == StateStanding::kAgrees) {
      try {
        WriteState(check.state);
      } catch (const platform::BasicError&) {
      }
    }
    throw;
  }
  securelog::FoundMark found{known_.end.offset, known_.end.entries, read, synced, flags, mark};
  known_.end.offset += securelog::kMarkSize;
  known_.end.last = mark;
  known_.size = known_.end.offset;
  known_.marks = state.marks;
  known_.last_mark = found;
  if (flags != 0) known_.flagged_marks.push_back(found);
}

void SecureLogFile::Append(const std::string& entry) {
  RequireOpen();
  if (entry.size() > securelog::kMaxEntrySize) {
    Fail("an entry of " + std::to_string(entry.size()) + " bytes is larger than a secure log takes (" +
         std::to_string(securelog::kMaxEntrySize) + ")");
  }
  AdvanceSealing();
  Lock lock(*this);
  Refresh(true);
  if (!known_.has_header) StartGeneration(0, {});
  ChainPoint& end = known_.end;
  const securelog::Mac mac = mac_->Entry(end.last, end.entries, entry);
  AppendBytes(securelog::EncodeRecord(entry, mac));
  end.offset += securelog::kRecordOverhead + entry.size();
  end.last = end.last_entry = mac;
  ++end.entries;
  known_.size = end.offset;
}

std::string SecureLogFile::GetEntries(bool only_unread, bool mark_read) {
  RequireOpen();
  AdvanceSealing();
  Lock lock(*this);
  Refresh(mark_read);
  const StateCheck check = CheckState(ReadStateText());
  const uint64_t count = known_.end.entries;
  const uint64_t read = std::min<uint64_t>(check.state.read, count);
  const uint64_t from = only_unread ? read : 0;
  std::string text;
  if (known_.has_header && from < count) {
    ScanHooks hooks;
    hooks.payloads_from = from;
    hooks.entry = [&text](uint64_t, std::string_view payload) {
      text += payload;
      text += "\r\n";
    };
    securelog::FileSource source(fd_, log_path_);
    // Only the unread part is read again when its start is known.
    if (from == read && read_point_ && read_point_->entries == read && known_.clean()) {
      securelog::ContinueScan(source, mac_.get(), folded_, known_, *read_point_, hooks);
    } else {
      securelog::ScanLog(source, mac_.get(), folded_, hooks);
    }
  }
  if (mark_read && known_.has_header && (read != count || securelog::IsEvidence(check.standing))) {
    // The entries the mark counts are on disk before the mark is saved.
    Observe("sync log");
    if (::fdatasync(fd_) != 0) Fail("cannot sync " + log_path_ + ": " + ErrnoText());
    WriteMarks(count, count, check);
    read_point_ = known_.end;
  }
  return text;
}

void SecureLogFile::Sync() {
  if (fd_ < 0) return;
  AdvanceSealing();
  Lock lock(*this);
  Refresh(true);
  Observe("sync log");
  if (::fdatasync(fd_) != 0) Fail("cannot sync " + log_path_ + ": " + ErrnoText());
  if (!known_.has_header) return;
  const StateCheck check = CheckState(ReadStateText());
  if (check.standing == StateStanding::kAgrees && check.state.synced == known_.end.entries &&
      check.state.last == known_.end.last_entry) {
    return;
  }
  const uint64_t read = std::min<uint64_t>(check.state.read, known_.end.entries);
  WriteMarks(read, known_.end.entries, check);
}

void SecureLogFile::Clear() {
  RequireOpen();
  AdvanceSealing();
  Lock lock(*this);
  Refresh(false);
  const StateCheck check = CheckState(ReadStateText());
  uint32_t flags = 0;
  if (securelog::IsEvidence(check.standing)) {
    flags = securelog::FlagOf(check.standing);
    KeepStateAside(securelog::MarkFlagsText(flags));
  }
  if (!known_.damage.empty()) {
    // A damaged file is evidence: it is kept aside, not emptied.
    const std::string aside = AsideName(log_path_, ".damaged.");
    NoteChange();
    if (::rename(log_path_.c_str(), aside.c_str()) != 0) Fail("cannot move aside " + log_path_ + ": " + ErrnoText());
    FollowPath();
    ReportDiagnostic("SecureLog - secure log '" + name_ + "' is damaged; kept as " + aside + " before clearing");
  }
  StartGeneration(flags, known_.nonce);
  needs_repair_ = false;
  reported_.clear();
}

void SecureLogFile::AdvanceSealing() {
  const std::time_t now = securelog::SealClockNow();
  if (now < seal_due_) return;
  try {
    const std::time_t next = securelog::AdvanceSealing(folder_, key_path_, now);
    // Without sealing, whether setup-keys has run is looked at once a minute.
    seal_due_ = next > now ? next : now + 60;
  } catch (const std::exception& error) {
    seal_due_ = now + 60;
    const std::string problem = std::string("sealing failed: ") + error.what();
    if (std::find(reported_.begin(), reported_.end(), problem) == reported_.end()) {
      reported_.push_back(problem);
      ReportDiagnostic("SecureLog - secure log '" + name_ + "': " + problem);
    }
  }
}

void SecureLogFile::Seal(uint64_t epoch, uint64_t next_epoch, const securelog::MacKey& sealing_key) {
  RequireOpen();
  Lock lock(*this);
  Refresh(true);
  if (!known_.has_header) return;
  securelog::SealRecord seal;
  seal.epoch = epoch;
  seal.next_epoch = next_epoch;
  seal.entries = known_.end.entries;
  seal.chain = known_.end.last;
  const securelog::Mac previous = known_.last_seal ? known_.last_seal->seal.mac : securelog::Mac{};
  seal.mac = securelog::SealMac(sealing_key, folded_, known_.nonce, seal, previous);
  AppendBytes(securelog::EncodeSeal(seal));
  known_.last_seal = securelog::FoundSeal{known_.end.offset, known_.nonce, seal, known_.end};
  ++known_.seals;
  known_.end.offset += securelog::kSealSize;
  known_.size = known_.end.offset;
}

}  // namespace support
