#include "support/securelog/secure_log_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/basic/err.h"
#include "platform/fs/durable.h"
#include "support/diagnostics/diagnostics.h"
#include "support/securelog/log_check.h"
#include "support/securelog/machine_key.h"

namespace support {

using securelog::LogState;
using securelog::ScannedLog;

namespace {

[[noreturn]] void Fail(const std::string& what) {
  platform::RaiseError(platform::kErrDeviceIo, "secure log: " + what, "SecureLog");
}

std::string ErrnoText() { return std::strerror(errno); }

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t wrote = ::write(fd, data.data(), data.size());
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
          log_.known_size_ = UINT64_MAX;
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
  int fd = ::open(log_path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) Fail("cannot open " + log_path + ": " + ErrnoText());
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  name_ = log_name;
  folded_ = securelog::FoldedLogName(log_name);
  log_path_ = std::move(log_path);
  state_path_ = folder_ + "/" + stem + securelog::kStateSuffix;
  known_size_ = UINT64_MAX;
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

std::string SecureLogFile::ReadFile() const {
  std::string bytes;
  char buffer[65536];
  off_t at = 0;
  for (;;) {
    ssize_t got = ::pread(fd_, buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("cannot read " + log_path_ + ": " + ErrnoText());
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
    at += got;
  }
  return bytes;
}

void SecureLogFile::Learn(const ScannedLog& log) {
  has_header_ = log.has_header;
  nonce_ = log.nonce;
  count_ = log.entries.size();
  last_ = log.entries.empty() ? (log.has_header ? mac_->Start(log.nonce, folded_) : securelog::Mac{})
                              : log.entries.back().mac;
  known_size_ = log.whole_end;
  clean_ = log.damage.empty();
}

void SecureLogFile::ReportProblems(const ScannedLog& log) {
  std::vector<std::string> problems =
      securelog::LogProblems(*mac_, log, folded_, platform::fs::ReadWholeFile(state_path_));
  for (const std::string& problem : problems) {
    if (std::find(reported_.begin(), reported_.end(), problem) != reported_.end()) continue;
    reported_.push_back(problem);
    ReportDiagnostic("SecureLog - secure log '" + name_ + "' (" + log_path_ + ") does not verify: " + problem);
  }
}

void SecureLogFile::NoteChange() {
  if (shared_lock_.IsOpen()) seen_changes_ = shared_lock_.Bump();
}

void SecureLogFile::FollowPath() {
  if (!shared_lock_.IsOpen()) return;  // the file lock is on this descriptor
  struct stat open_file {}, at_path {};
  if (::fstat(fd_, &open_file) != 0) Fail("cannot read " + log_path_ + ": " + ErrnoText());
  if (::stat(log_path_.c_str(), &at_path) == 0 && at_path.st_dev == open_file.st_dev &&
      at_path.st_ino == open_file.st_ino) {
    return;
  }
  int fd = ::open(log_path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) Fail("cannot open " + log_path_ + ": " + ErrnoText());
  ::close(fd_);
  fd_ = fd;
}

void SecureLogFile::Refresh(bool repair) {
  // Nobody changed the log since this object last looked, and its size is
  // what this object left (a hand edit that changes the size is seen too).
  if (clean_ && known_size_ != UINT64_MAX && (!shared_lock_.IsOpen() || shared_lock_.Changes() == seen_changes_)) {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) Fail("cannot read " + log_path_ + ": " + ErrnoText());
    if (static_cast<uint64_t>(end) == known_size_) return;
  }
  FollowPath();
  seen_changes_ = shared_lock_.Changes();
  ScannedLog log = securelog::ScanLog(ReadFile());
  ReportProblems(log);
  if (repair && !log.damage.empty()) {
    const bool torn = log.has_header && log.damage.rfind("torn", 0) == 0;
    NoteChange();
    if (torn) {
      // A record cut short by a process that died in the middle of writing
      // it: it was never acknowledged, so it goes.
      if (::ftruncate(fd_, static_cast<off_t>(log.whole_end)) != 0) Fail("cannot repair " + log_path_);
      ReportDiagnostic("SecureLog - secure log '" + name_ + "': cut off a torn last record at byte " +
                       std::to_string(log.whole_end));
    } else {
      // Damage in the middle: the file is kept aside as evidence and the log
      // goes on in a new file.
      const std::string aside = log_path_ + ".damaged." + std::to_string(std::time(nullptr));
      if (::rename(log_path_.c_str(), aside.c_str()) != 0) Fail("cannot move aside " + log_path_);
      ReportDiagnostic("SecureLog - secure log '" + name_ + "' is damaged; kept as " + aside +
                       ", a new log is started");
      int fd = ::open(log_path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
      if (fd < 0) Fail("cannot open " + log_path_ + ": " + ErrnoText());
      // The new file is locked before the old one is let go (closing it
      // drops its lock); the caller's Lock then releases the new one.
      if (!shared_lock_.IsOpen()) ::flock(fd, LOCK_EX);
      ::close(fd_);
      fd_ = fd;
      log = ScannedLog{};
    }
  }
  Learn(log);
}

LogState SecureLogFile::ReadState(const ScannedLog& log) {
  return securelog::CurrentState(*mac_, log, folded_, platform::fs::ReadWholeFile(state_path_), nullptr);
}

void SecureLogFile::WriteState(const LogState& state) {
  if (!platform::fs::WriteFileDurably(state_path_, securelog::EncodeState(*mac_, state))) {
    Fail("cannot write " + state_path_);
  }
  ::chmod(state_path_.c_str(), 0600);
}

void SecureLogFile::StartGeneration() {
  const std::string nonce = securelog::NewNonce();
  NoteChange();
  if (!WriteAll(fd_, securelog::EncodeHeader(nonce))) Fail("cannot write " + log_path_ + ": " + ErrnoText());
  has_header_ = true;
  nonce_ = nonce;
  count_ = 0;
  last_ = mac_->Start(nonce, folded_);
  known_size_ = securelog::kHeaderSize;
  clean_ = true;
}

void SecureLogFile::Append(const std::string& entry) {
  RequireOpen();
  Lock lock(*this);
  Refresh(true);
  if (!has_header_) StartGeneration();
  const securelog::Mac mac = mac_->Entry(last_, count_, entry);
  const std::string record = securelog::EncodeRecord(entry, mac);
  NoteChange();
  if (!WriteAll(fd_, record)) {
    const std::string reason = ErrnoText();
    // Nothing half-written stays behind to hide later entries.
    if (::ftruncate(fd_, static_cast<off_t>(known_size_)) != 0) known_size_ = UINT64_MAX;
    Fail("cannot append to " + log_path_ + ": " + reason);
  }
  known_size_ += record.size();
  ++count_;
  last_ = mac;
}

std::string SecureLogFile::GetEntries(bool only_unread, bool mark_read) {
  RequireOpen();
  Lock lock(*this);
  ScannedLog log = securelog::ScanLog(ReadFile());
  ReportProblems(log);
  LogState state = ReadState(log);
  const uint64_t count = log.entries.size();
  const uint64_t read = std::min<uint64_t>(state.read, count);
  std::string text;
  for (uint64_t i = only_unread ? read : 0; i < count; ++i) {
    text += log.entries[i].payload;
    text += "\r\n";
  }
  if (mark_read && log.has_header && read != count) {
    state.read = count;
    WriteState(state);
  }
  return text;
}

void SecureLogFile::Sync() {
  if (fd_ < 0) return;
  Lock lock(*this);
  Refresh(false);
  if (::fdatasync(fd_) != 0) Fail("cannot sync " + log_path_ + ": " + ErrnoText());
  if (!has_header_) return;
  ScannedLog log;
  log.has_header = true;
  log.nonce = nonce_;
  LogState state = ReadState(log);
  if (state.synced == count_ && state.last == last_) return;
  state.synced = count_;
  state.last = last_;
  WriteState(state);
}

void SecureLogFile::Clear() {
  RequireOpen();
  Lock lock(*this);
  NoteChange();
  if (::ftruncate(fd_, 0) != 0) Fail("cannot clear " + log_path_ + ": " + ErrnoText());
  StartGeneration();
  if (::fsync(fd_) != 0) Fail("cannot sync " + log_path_ + ": " + ErrnoText());
  LogState state;
  state.nonce = nonce_;
  state.last = last_;
  WriteState(state);
  reported_.clear();
}

}  // namespace support
