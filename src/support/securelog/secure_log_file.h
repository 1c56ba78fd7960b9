// The secure log component: one append-only file per log name in a folder
// (the profile folder's "securelog"), each entry chained to the one before
// by HMAC-SHA-256 under the machine's key (machine_key.h), the read marks and
// the last Sync's anchor in a state file beside it (log_format.h).
//
// Several objects, threads or processes may work on one log: each operation
// takes the log's lock and notices what others appended. Logs are read as
// streams: memory stays bounded whatever their size. The lock is a
// shared mutex in "<stem>.lock" beside the log (platform/fs/shared_mutex_file.h),
// with a count of the changes made to the log: an append that follows the
// object's own costs one system call besides the write. Where that file
// cannot be used, the lock is an exclusive file lock on the log. A log
// that does not verify is still read and written; what is wrong goes to the
// diagnostic sink (the system log) once per object and problem.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "contracts/secure_log.h"
#include "platform/fs/shared_mutex_file.h"
#include "support/securelog/chain_mac.h"
#include "support/securelog/log_check.h"
#include "support/securelog/log_format.h"
#include "support/securelog/log_scanner.h"

namespace support {

// "<profile folder>/securelog"
std::string SecureLogFolder(const std::string& profile_folder);

// Tests: told of each step that makes something durable, in order: "sync
// log", "write state", "append mark".
void SetSecureLogDurabilityObserverForTesting(std::function<void(std::string_view)> observer);
// Tests: stands in for write(2) when a log file is appended to, so a full
// disk or a failing device can be played (empty: the real call).
void SetSecureLogWriteForTesting(std::function<ssize_t(int fd, const void* data, size_t size)> write);
// Tests: how long an object trusts that its log's path still names the file
// it has open (default a second).
void SetSecureLogPathLookIntervalForTesting(std::chrono::milliseconds interval);

class SecureLogFile : public contracts::SecureLog {
 public:
  // `key_path` empty: the machine key (securelog::MachineKeyPath()).
  explicit SecureLogFile(std::string folder, std::string key_path = {});
  ~SecureLogFile() override;

  void Open(const std::string& log_name, const std::string& log_identifier) override;
  std::string GetEntries(bool only_unread, bool mark_read) override;
  void Append(const std::string& entry) override;
  void Sync() override;
  void Clear() override;

  std::string LogPath() const { return log_path_; }

  // Closes the chain as it stands with a seal record of `epoch`, handing
  // over to `next_epoch` (seal_keys.h). Called for every log when an epoch
  // ends.
  void Seal(uint64_t epoch, uint64_t next_epoch, const securelog::MacKey& sealing_key);

 private:
  class Lock;
  void RequireOpen() const;
  // The one step every operation starts with, under the lock: follows the
  // log's path (another object may have moved a damaged file aside), and
  // reads what changed since this object last looked. `repair` (operations
  // that write) cuts off a torn last record, finishes a generation start, a
  // Clear or a mark that a crash interrupted, and carries the entries of a
  // damaged file into a new one, keeping the damaged file aside.
  void Refresh(bool repair);
  // Follows the path when another object changed the log, or when the path
  // was last looked at a while ago.
  void LookAtPath();
  bool FollowPath();
  // Notes which file `fd_` is, so that FollowPath needs one look at the path.
  void RememberFile();
  std::optional<std::string> ReadStateText() const;
  securelog::StateCheck CheckState(const std::optional<std::string>& state_text) const;
  void ReportProblems(const securelog::ScanResult& log, const securelog::StateCheck& check);
  void Repair(securelog::ScanResult& log, const securelog::StateCheck& check);
  void Salvage(securelog::ScanResult& log, const securelog::StateCheck& check);
  // A new generation: its state file first (durably), then the header and
  // its first mark.
  void StartGeneration(uint32_t flags, const std::string& previous);
  // Saves read marks: the state file first, then the mark record that
  // mirrors it. A state file that is evidence of a change by hand is kept
  // aside, never overwritten, and the mark record names what was wrong.
  void WriteMarks(uint64_t read, uint64_t synced, const securelog::StateCheck& check);
  void WriteState(const securelog::LogState& state);
  void KeepStateAside(const std::string& why);
  void AppendBytes(const std::string& bytes);
  // Before each change to the log file, under the lock: the other objects'
  // next look at the file is then a whole one.
  void NoteChange();
  void Learn(securelog::ScanResult log);
  // When sealing is set up and the epoch has ended: seals every log and
  // moves the key on. Before the log's lock is taken (the sealing lock comes
  // first).
  void AdvanceSealing();

  std::string folder_;
  std::string key_path_;
  std::string name_;
  std::string folded_;
  std::string log_path_;
  std::string state_path_;
  int fd_ = -1;
  dev_t file_device_ = 0;
  ino_t file_inode_ = 0;
  platform::fs::SharedMutexFile shared_lock_;
  uint64_t seen_changes_ = 0;
  std::chrono::steady_clock::time_point next_path_look_{};
  std::unique_ptr<securelog::ChainMac> mac_;
  // What the file held the last time this object looked (valid while
  // `known_valid_`): the chain up to its end, verified once, so that no read
  // hashes again what was already checked.
  securelog::ScanResult known_;
  bool known_valid_ = false;
  bool needs_repair_ = false;
  // Where the oldest unread entry starts, when known.
  std::optional<securelog::ChainPoint> read_point_;
  std::vector<std::string> reported_;
  // When sealing next needs a look (seconds since 1970).
  int64_t seal_due_ = 0;
};

}  // namespace support
